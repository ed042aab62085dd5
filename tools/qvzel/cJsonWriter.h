// SPDX-License-Identifier: LGPL-2.1-or-later
// cJsonWriter: writes one JSON document, indented by two spaces, with the
// commas and escapes JSON needs. Keys appear in the order they are written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nQvzelTool {

class cJsonWriter {
 public:
  void beginObject();
  void endObject();
  void beginArray();
  void endArray();
  // Names the next value inside an object.
  void key(const char* a_pName);

  void value(const std::string& a_rText);
  void value(const char* a_pText);
  void value(int64_t a_Number);
  void value(uint64_t a_Number);
  void value(uint32_t a_Number) { value(static_cast<uint64_t>(a_Number)); }
  void value(int32_t a_Number) { value(static_cast<int64_t>(a_Number)); }
  void boolean(bool a_Value);
  void null();

  // The document so far, with a final line feed once it is complete.
  std::string text() const;

  // a_rText as a quoted JSON string.
  static std::string quote(const std::string& a_rText);

 private:
  void beforeValue();
  void newline();

  std::string m_Text;
  std::vector<bool> m_HasMembers;  // one entry per open object or array
  bool m_AfterKey = false;
};

}  // namespace nQvzelTool
