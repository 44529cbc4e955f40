// A small JSON writer for the command line's --json output.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tq {

class JsonWriter {
 public:
  JsonWriter& BeginObject() { Separate(); out_ += '{'; first_.push_back(true); return *this; }
  JsonWriter& EndObject() { out_ += '}'; first_.pop_back(); return *this; }
  JsonWriter& BeginArray() { Separate(); out_ += '['; first_.push_back(true); return *this; }
  JsonWriter& EndArray() { out_ += ']'; first_.pop_back(); return *this; }
  JsonWriter& Key(const std::string& k) {
    Separate();
    Quote(k);
    out_ += ':';
    afterKey_ = true;
    return *this;
  }
  JsonWriter& String(const std::string& s) { Separate(); Quote(s); return *this; }
  JsonWriter& Int(int64_t v) { Separate(); out_ += std::to_string(v); return *this; }
  JsonWriter& UInt(uint64_t v) { Separate(); out_ += std::to_string(v); return *this; }
  JsonWriter& Double(double v);
  JsonWriter& Bool(bool v) { Separate(); out_ += v ? "true" : "false"; return *this; }
  JsonWriter& Null() { Separate(); out_ += "null"; return *this; }
  const std::string& str() const { return out_; }

 private:
  void Separate() {
    if (afterKey_) { afterKey_ = false; return; }
    if (!first_.empty()) {
      if (!first_.back()) out_ += ',';
      first_.back() = false;
    }
  }
  void Quote(const std::string& s);
  std::string out_;
  std::vector<bool> first_;
  bool afterKey_ = false;
};

}  // namespace tq
