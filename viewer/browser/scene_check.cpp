#include "viewer/browser/scene_check.h"

#include <memory>

#include "viewer/browser/file_input.h"
#include "viewer/browser/parser.h"
#include "viewer/browser/url_resolver.h"
#include "viewer/browser/writer.h"

namespace kestrel {
namespace {

// Parses the file at PATH; on failure returns false with the error line.
// With WARNINGS the parse is lenient, as the viewer reads files, and each
// warning adds a line to it; without, the first problem fails the parse.
// READER, when given, reads the file's text (a model becomes VRML97 text).
bool parseFile(const std::string& path, Scene& scene, std::string& problem,
               std::string* warnings, const SceneTextReader& reader) {
  SceneText text;
  const bool read =
      reader ? reader(path, text, problem) : readSceneTextOrSayWhy(path, text, problem);
  if (!read) return false;
  UrlResolver resolver;
  ParseOptions options;
  options.baseDir = UrlResolver::directoryOf(path);
  options.load = [&resolver](const std::string& url, const std::string& base,
                             std::string& fetched, std::string& dir) {
    return resolver.load(url, base, fetched, dir);
  };
  options.sourceName = path;
  options.parsedRange = [&text](size_t begin, size_t end) { text.dropPages(begin, end); };
  if (warnings != nullptr) {
    options.warn = [warnings](const ParseWarning& w) {
      *warnings += w.file + ": line " + std::to_string(w.line) + ", column " +
                  std::to_string(w.column) + ": warning: " + w.message + '\n';
    };
  }
  ParseError error;
  const bool parsed = parseVrml(text, options, scene, error);
  if (text.cutShort()) {
    scene = Scene{};
    if (warnings != nullptr) warnings->clear();
    problem = "cannot read the file: it was cut short while being read";
    return false;
  }
  if (!parsed) problem = error.text();
  return parsed;
}

// Frees SCENE, or with kKeepUntilExit leaves it to the end of the process:
// it stays reachable from a list that is never freed, so leak checkers do
// not count it as lost.
void dispose(std::unique_ptr<Scene> scene, SceneDisposal disposal) {
  if (disposal == SceneDisposal::kFree) return;
  static auto* kept = new std::vector<std::unique_ptr<Scene>>;
  kept->push_back(std::move(scene));
}

}  // namespace

bool readSceneTextOrSayWhy(const std::string& path, SceneText& text, std::string& problem) {
  if (FileRead read = readSceneFile(path, text); read != FileRead::kOk) {
    std::string why = refusalText(read, kMaxSceneFileBytes);
    problem = why.empty() ? "cannot read the file" : "cannot read the file: " + why;
    return false;
  }
  return true;
}

int checkSceneFiles(const std::vector<std::string>& paths, std::ostream& out,
                    const SceneTextReader& read, SceneDisposal disposal) {
  int status = 0;
  for (const std::string& path : paths) {
    auto scene = std::make_unique<Scene>();
    std::string problem, warnings;
    bool parsed = parseFile(path, *scene, problem, &warnings, read);
    // Only the last scene is kept: many files must not add up.
    dispose(std::move(scene), &path == &paths.back() ? disposal : SceneDisposal::kFree);
    out << warnings;
    if (parsed) {
      out << path << ": ok\n";
    } else {
      out << path << ": " << problem << '\n';
      status = 1;
    }
  }
  return status;
}

int printSceneFile(const std::string& path, std::ostream& out, const SceneTextReader& read,
                   SceneDisposal disposal) {
  auto scene = std::make_unique<Scene>();
  std::string problem;
  // Strict: what is printed is the whole file, nothing skipped.
  const bool parsed = parseFile(path, *scene, problem, nullptr, read);
  WriteResult written;
  if (parsed) written = writeScene(*scene);
  dispose(std::move(scene), disposal);
  if (!parsed) {
    out << path << ": " << problem << '\n';
    return 1;
  }
  out << written.text;
  if (!written.exact) {
    // Comments are VRML too, so the output stays readable as a scene.
    out << "# Some nodes are shared without a name, or a name is defined again before a\n"
           "# USE or ROUTE of its earlier node: this text does not read back identically.\n";
  }
  return 0;
}

}  // namespace kestrel
