#include "viewer/browser/scene_check.h"

#include "viewer/browser/file_input.h"
#include "viewer/browser/parser.h"
#include "viewer/browser/url_resolver.h"
#include "viewer/browser/writer.h"

namespace kestrel {
namespace {

// Parses the file at PATH; on failure returns false with the error line.
bool parseFile(const std::string& path, Scene& scene, std::string& problem,
               const SceneTextReader& reader) {
  std::string text;
  if (!(reader ? reader : readSceneText)(path, text, problem)) return false;
  UrlResolver resolver;
  ParseOptions options;
  options.baseDir = UrlResolver::directoryOf(path);
  options.load = [&resolver](const std::string& url, const std::string& base,
                             std::string& fetched, std::string& dir) {
    return resolver.load(url, base, fetched, dir);
  };
  ParseError error;
  if (!parseVrml(text, options, scene, error)) {
    problem = error.text();
    return false;
  }
  return true;
}

}  // namespace

bool readSceneText(const std::string& path, std::string& text, std::string& problem) {
  if (FileRead read = readSceneFile(path, text); read != FileRead::kOk) {
    std::string why = refusalText(read, kMaxSceneFileBytes);
    problem = why.empty() ? "cannot read the file" : "cannot read the file: " + why;
    return false;
  }
  return true;
}

int checkSceneFiles(const std::vector<std::string>& paths, std::ostream& out,
                    const SceneTextReader& read) {
  int status = 0;
  for (const std::string& path : paths) {
    Scene scene;
    std::string problem;
    if (parseFile(path, scene, problem, read)) {
      out << path << ": ok\n";
    } else {
      out << path << ": " << problem << '\n';
      status = 1;
    }
  }
  return status;
}

int printSceneFile(const std::string& path, std::ostream& out, const SceneTextReader& read) {
  Scene scene;
  std::string problem;
  if (!parseFile(path, scene, problem, read)) {
    out << path << ": " << problem << '\n';
    return 1;
  }
  WriteResult written = writeScene(scene);
  out << written.text;
  if (!written.exact) {
    // Comments are VRML too, so the output stays readable as a scene.
    out << "# Some nodes are shared without a name, or a name is defined again before a\n"
           "# USE or ROUTE of its earlier node: this text does not read back identically.\n";
  }
  return 0;
}

}  // namespace kestrel
