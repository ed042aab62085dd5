// SPDX-License-Identifier: LGPL-2.1-or-later
#include <gtest/gtest.h>

#include "cJsonWriter.h"

namespace {

using nQvzelTool::cJsonWriter;

TEST(JsonWriter, NestedDocumentWithCommasAndNulls) {
  cJsonWriter l_Json;
  l_Json.beginObject();
  l_Json.key("a");
  l_Json.value(uint32_t{4026595344u});
  l_Json.key("b");
  l_Json.beginArray();
  l_Json.value(int32_t{-52006});
  l_Json.null();
  l_Json.beginObject();
  l_Json.endObject();
  l_Json.endArray();
  l_Json.key("c");
  l_Json.beginArray();
  l_Json.endArray();
  l_Json.key("d");
  l_Json.boolean(false);
  l_Json.key("e");
  l_Json.value(static_cast<const char*>(nullptr));
  l_Json.endObject();
  EXPECT_EQ(l_Json.text(),
            "{\n"
            "  \"a\": 4026595344,\n"
            "  \"b\": [\n"
            "    -52006,\n"
            "    null,\n"
            "    {}\n"
            "  ],\n"
            "  \"c\": [],\n"
            "  \"d\": false,\n"
            "  \"e\": null\n"
            "}\n");
}

TEST(JsonWriter, EscapesQuotesControlAndNonAsciiBytes) {
  EXPECT_EQ(cJsonWriter::quote("\"SST\"\\"), "\"\\\"SST\\\"\\\\\"");
  EXPECT_EQ(cJsonWriter::quote("a\r\nb\tc"), "\"a\\r\\nb\\tc\"");
  EXPECT_EQ(cJsonWriter::quote(std::string("x\x01y\x7f\xff", 5)), "\"x\\u0001y\\u007f\\u00ff\"");
}

}  // namespace
