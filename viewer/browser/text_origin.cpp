#include "viewer/browser/text_origin.h"

#include <algorithm>

namespace kestrel {

std::string blockNameWithOrigin(const std::string& name, const std::string& file) {
  if (file.empty() || file.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) {
    return name;
  }
  return name + '\n' + file;
}

std::optional<std::string> takeBlockOrigin(std::string& blockText) {
  size_t end = blockText.find('\n');
  if (end == std::string::npos) return std::nullopt;
  std::string file = blockText.substr(end + 1);
  blockText.erase(end);
  if (file.empty()) return std::nullopt;
  return file;
}

uint32_t lineOfPart(const std::string& text, const std::string& body) {
  size_t at = body.empty() ? std::string::npos : text.find(body);
  if (at == std::string::npos) return 1;
  auto before = text.begin() + static_cast<std::string::difference_type>(at);
  return 1 + static_cast<uint32_t>(std::count(text.begin(), before, '\n'));
}

}  // namespace kestrel
