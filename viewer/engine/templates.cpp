#include "viewer/engine/templates.h"

#include "viewer/intake/diagnostic_log.h"

namespace kestrel {

bool TemplateList::createTemplate(const std::string& name) {
  if (templates_.size() >= kCapacity) {
    logText("template list full, template not created:", name.c_str());
    lastRefused_ = true;
    return false;
  }
  templates_.push_back(Template{name, {}, std::nullopt, 0});
  lastRefused_ = false;
  return true;
}

bool TemplateList::appendToLast(const std::string& line) {
  // Lines of a refused template must not grow the template before it.
  if (templates_.empty() || lastRefused_) return false;
  Template& last = templates_.back();
  last.body += line;
  last.body += '\n';
  return true;
}

Template* TemplateList::findTemplate(const std::string& name) {
  for (Template& t : templates_) {
    if (t.name == name) return &t;
  }
  return nullptr;
}

bool InfoTable::setInfo(const std::string& name, const std::string& value) {
  for (NamedText& entry : entries_) {
    if (entry.name == name) {
      entry.text = value;
      return true;
    }
  }
  if (entries_.size() >= kCapacity) {
    logText("info table full, value not stored:", name.c_str());
    return false;
  }
  entries_.push_back(NamedText{name, value});
  return true;
}

std::optional<std::string> InfoTable::lookupText(const std::string& name) const {
  for (const NamedText& entry : entries_) {
    if (entry.name == name) return entry.text;
  }
  return std::nullopt;
}

std::string applyTemplate(Template& t, const std::string& data) {
  std::string out;
  out.reserve(t.body.size() + data.size());
  bool dataUsed = false;
  for (size_t i = 0; i < t.body.size(); ++i) {
    char c = t.body[i];
    if (c != '%' || i + 1 == t.body.size()) {
      out += c;
      continue;
    }
    char conversion = t.body[++i];
    if (conversion == '%') {
      out += '%';
    } else if (conversion == 's' && !dataUsed) {
      out += data;
      dataUsed = true;
    }
    // Any other conversion has no argument to take: it produces nothing.
  }
  t.result = out;
  return out;
}

void restartScan(Template& t) { t.scanPosition = 0; }

std::optional<std::string> nextVariable(Template& t) {
  size_t found = t.body.find("VAR_", t.scanPosition);
  if (found == std::string::npos) {
    t.scanPosition = t.body.size();
    return std::nullopt;
  }
  size_t start = found + 4;
  size_t end = t.body.find_first_of(" \"", start);
  if (end == std::string::npos) end = t.body.size();
  t.scanPosition = end;
  return t.body.substr(start, end - start);
}

const std::string& substituteVariable(Template& t, const std::string& name,
                                      const std::optional<std::string>& value) {
  // The pattern is limited to 99 characters, as the original's buffer was.
  std::string pattern = ("VAR_" + name).substr(0, 99);
  if (!t.result) t.result = t.body;
  size_t at = t.result->find(pattern);
  if (at != std::string::npos && value) t.result->replace(at, pattern.size(), *value);
  return *t.result;
}

std::string expandTemplate(Template& t, const std::string& data, const InfoTable& info) {
  applyTemplate(t, data);
  restartScan(t);
  while (std::optional<std::string> name = nextVariable(t)) {
    substituteVariable(t, *name, info.lookupText(*name));
  }
  return *t.result;
}

}  // namespace kestrel
