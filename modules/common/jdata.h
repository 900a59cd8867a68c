// Link value wrappers and their type ids.
//
// A wrapper is bound to a variable of the module that pulls a value; the
// module that offers the value writes into the wrapper in its access(). A
// wrapper accepts its own type and converts between the two number types;
// any other value leaves the bound variable untouched.
#pragma once

#include "modules/common/export.h"
#include "modules/common/jgraphics.h"
#include "modules/common/jstring.h"

namespace kestrel {

// Type id of an input that takes a value of any type (printers, counters).
inline constexpr int kAnyTypeId = 0;

// Name of a type id for messages: "integer", "real", "string", "bytes", "any".
KESTREL_API const char* typeName(int typeId);

class KESTREL_API JData {
 public:
  virtual ~JData();
  virtual int type() const = 0;
  virtual void setInteger(int) {}
  virtual void setReal(double) {}
  virtual void setString(const JString&) {}
  virtual void setBlock(const JBlock&) {}
};

class KESTREL_API JIntegerData : public JData {
 public:
  static constexpr int id = 1;
  explicit JIntegerData(int& value) : value_(value) {}
  int type() const override { return id; }
  void setInteger(int v) override { value_ = v; }
  void setReal(double v) override;

 private:
  int& value_;
};

class KESTREL_API JRealData : public JData {
 public:
  static constexpr int id = 2;
  explicit JRealData(double& value) : value_(value) {}
  int type() const override { return id; }
  void setInteger(int v) override { value_ = v; }
  void setReal(double v) override { value_ = v; }

 private:
  double& value_;
};

class KESTREL_API JStringData : public JData {
 public:
  static constexpr int id = 3;
  // Body colour of modules that deal in text.
  static constexpr JColor color{255, 200, 0};
  explicit JStringData(JString& value) : value_(value) {}
  int type() const override { return id; }
  void setString(const JString& v) override { value_ = v; }

 private:
  JString& value_;
};

class KESTREL_API JBlockData : public JData {
 public:
  static constexpr int id = 4;
  explicit JBlockData(JBlock& value) : value_(value) {}
  int type() const override { return id; }
  void setBlock(const JBlock& v) override { value_ = v; }

 private:
  JBlock& value_;
};

// Byte blocks are known to modules under this name as well.
using JBytesData = JBlockData;

}  // namespace kestrel
