// Module properties: the settings a host shows, edits and passes back.
//
// getProperties() hands the host a JArray of fresh property objects holding
// the current values; the host changes one and offers it back through
// updateProperty(), which matches it by getName().
#pragma once

#include <memory>
#include <vector>

#include "modules/common/export.h"
#include "modules/common/jstring.h"

namespace kestrel {

class JStringProperty;
class JIntegerProperty;
class JRealProperty;
class JFileProperty;

class KESTREL_API JProperty {
 public:
  enum class Kind { String, Integer, Real, File };

  explicit JProperty(JString name) : name_(std::move(name)) {}
  virtual ~JProperty();
  const JString& getName() const { return name_; }
  virtual Kind kind() const = 0;
  virtual std::unique_ptr<JProperty> copy() const = 0;

  // The property as its own kind, or null when it is another kind.
  const JStringProperty* asString() const;
  const JIntegerProperty* asInteger() const;
  const JRealProperty* asReal() const;
  const JFileProperty* asFile() const;

 private:
  JString name_;
};

class KESTREL_API JStringProperty : public JProperty {
 public:
  JStringProperty(JString name, JString text) : JProperty(std::move(name)), text_(std::move(text)) {}
  Kind kind() const override { return Kind::String; }
  std::unique_ptr<JProperty> copy() const override;
  const JString& getText() const { return text_; }
  void setText(JString text) { text_ = std::move(text); }

 private:
  JString text_;
};

class KESTREL_API JIntegerProperty : public JProperty {
 public:
  JIntegerProperty(JString name, int value, int low, int high)
      : JProperty(std::move(name)), value_(value), low_(low), high_(high) {}
  Kind kind() const override { return Kind::Integer; }
  std::unique_ptr<JProperty> copy() const override;
  int getValue() const { return value_; }
  int getLow() const { return low_; }
  int getHigh() const { return high_; }
  void setValue(int value) { value_ = value; }

 private:
  int value_, low_, high_;
};

class KESTREL_API JRealProperty : public JProperty {
 public:
  // width and precision say how an editor shows the number.
  JRealProperty(JString name, double value, int width, int precision)
      : JProperty(std::move(name)), value_(value), width_(width), precision_(precision) {}
  Kind kind() const override { return Kind::Real; }
  std::unique_ptr<JProperty> copy() const override;
  double getValue() const { return value_; }
  int getWidth() const { return width_; }
  int getPrecision() const { return precision_; }
  void setValue(double value) { value_ = value; }

 private:
  double value_;
  int width_, precision_;
};

class KESTREL_API JFileProperty : public JProperty {
 public:
  JFileProperty(JString name, JString path, JString pattern)
      : JProperty(std::move(name)), path_(std::move(path)), pattern_(std::move(pattern)) {}
  Kind kind() const override { return Kind::File; }
  std::unique_ptr<JProperty> copy() const override;
  const JString& getPath() const { return path_; }
  const JString& getPattern() const { return pattern_; }
  void setPath(JString path) { path_ = std::move(path); }

 private:
  JString path_, pattern_;
};

// An ordered list of properties that owns them.
class KESTREL_API JArray {
 public:
  void append(std::unique_ptr<JProperty> property) { items_.push_back(std::move(property)); }
  template <class P, class... Args>
  void add(Args&&... args) {
    items_.push_back(std::make_unique<P>(std::forward<Args>(args)...));
  }
  int size() const { return static_cast<int>(items_.size()); }
  const JProperty& operator[](int i) const { return *items_[static_cast<std::size_t>(i)]; }
  // The first property with that name, or null.
  const JProperty* find(std::string_view name) const;

 private:
  std::vector<std::unique_ptr<JProperty>> items_;
};

}  // namespace kestrel
