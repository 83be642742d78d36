#include "ui/core/xml_document.h"

#include <gtest/gtest.h>

using DuiLib::ParseXml;
using DuiLib::XmlElement;
using DuiLib::XmlError;

namespace {

const char kPage[] =
    "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\" ?>\n"
    "<!-- main page -->\n"
    "<Window size=\"818,579\" caption='0,0,0,130'>\n"
    "  <Font name=\"\xE5\xBE\xAE\xE8\xBD\xAF\xE9\x9B\x85\xE9\xBB\x91\" size=\"16\" "
    "bold=\"true\"/>\n"
    "  <VerticalLayout bkimage=\"file='bg.png' corner='4,4,4,4'\">\n"
    "    <Button name=\"close_btn\" pos=\"10, 10, 40, 40\" text=\"&lt;&#20851;&#x95ED;&gt;\" />\n"
    "    <Label>a &amp; b<!-- no -->c<![CDATA[<raw> & ]]></Label>\n"
    "  </VerticalLayout>\n"
    "</Window>\n"
    "<!-- trailing -->\n";

// Parses text expected to fail; returns the error.
XmlError ParseBad(const std::string& text) {
    XmlElement root;
    XmlError error;
    EXPECT_FALSE(ParseXml(text, &root, &error)) << text;
    EXPECT_FALSE(error.message.empty()) << text;
    EXPECT_TRUE(root.name.empty() && root.children.empty());
    return error;
}

std::string Nested(int depth) {
    std::string text;
    for (int i = 0; i < depth; ++i)
        text += "<a>";
    for (int i = 0; i < depth; ++i)
        text += "</a>";
    return text;
}

}  // namespace

TEST(XmlDocument, ParsesASkinPage) {
    XmlElement root;
    XmlError error;
    ASSERT_TRUE(ParseXml(kPage, &root, &error))
        << error.message << " at " << error.line << ":" << error.column;
    EXPECT_EQ(root.name, "Window");
    EXPECT_EQ(root.line, 3);
    EXPECT_EQ(root.column, 1);
    ASSERT_NE(root.FindAttribute("caption"), nullptr);
    EXPECT_EQ(*root.FindAttribute("caption"), "0,0,0,130");
    EXPECT_EQ(root.FindAttribute("Caption"), nullptr);
    EXPECT_TRUE(root.text.empty());  // blanks between elements are not text
    ASSERT_EQ(root.children.size(), 2u);

    const XmlElement& font = root.children[0];
    EXPECT_EQ(*font.FindAttribute("name"), "\xE5\xBE\xAE\xE8\xBD\xAF\xE9\x9B\x85\xE9\xBB\x91");
    EXPECT_TRUE(font.children.empty());

    const XmlElement& layout = root.children[1];
    EXPECT_EQ(*layout.FindAttribute("bkimage"), "file='bg.png' corner='4,4,4,4'");
    ASSERT_EQ(layout.children.size(), 2u);
    const XmlElement& button = layout.children[0];
    EXPECT_EQ(button.line, 6);
    EXPECT_EQ(button.column, 5);
    EXPECT_EQ(*button.FindAttribute("pos"), "10, 10, 40, 40");
    EXPECT_EQ(*button.FindAttribute("text"), "<\xE5\x85\xB3\xE9\x97\xAD>");  // <关闭>
    EXPECT_EQ(layout.children[1].text, "a & bc<raw> & ");
}

TEST(XmlDocument, ColumnsCountCharactersNotBytes) {
    XmlElement root;
    XmlError error;
    ASSERT_FALSE(ParseXml("<a t=\"\xE4\xB8\xAD\xE6\x96\x87\" &x;/>", &root, &error));
    EXPECT_EQ(error.line, 1);
    EXPECT_EQ(error.column, 11);
}

TEST(XmlDocument, EntityErrorsCarryTheirPlace) {
    XmlError e = ParseBad("<a>\n  <b t=\"&nbsp;\"/>\n</a>");
    EXPECT_NE(e.message.find("unknown entity &nbsp;"), std::string::npos) << e.message;
    EXPECT_EQ(e.line, 2);
    EXPECT_EQ(e.column, 9);
    EXPECT_NE(ParseBad("<a>&#0;</a>").message.find("not a valid character"), std::string::npos);
    ParseBad("<a>&#xD800;</a>");
    ParseBad("<a>&#x110000;</a>");
    ParseBad("<a>&#99999999999999999999;</a>");
    ParseBad("<a>&#x;</a>");
    ParseBad("<a>&#12a;</a>");
    ParseBad("<a>fish & chips</a>");
    ParseBad("<a t='&amp'/>");
}

TEST(XmlDocument, StructuralErrors) {
    XmlError e = ParseBad("<Window>\n  <Label>\n  </Button>\n</Window>");
    EXPECT_NE(e.message.find("</Button> does not match <Label> at line 2"), std::string::npos)
        << e.message;
    EXPECT_EQ(e.line, 3);
    EXPECT_EQ(e.column, 3);

    EXPECT_NE(ParseBad("<a x='1' x='2'/>").message.find("duplicate"), std::string::npos);
    ParseBad("<a x=1/>");
    ParseBad("<a x='1'y='2'/>");
    ParseBad("<a x='<'/>");
    ParseBad("<a/><b/>");
    ParseBad("text<a/>");
    ParseBad("<a/>text");
    ParseBad("");
    ParseBad("<!-- only a comment -->");
    ParseBad("<!DOCTYPE a><a/>");
    ParseBad("<a><!-- open </a>");
    ParseBad("<a><![CDATA[ open </a>");
    ParseBad("<1a/>");
    ParseBad("<a>\x01</a>");
    ParseBad("<a>\xC3</a>");          // cut UTF-8 sequence
    ParseBad("<a>\xC0\xAF</a>");      // overlong
    ParseBad("<a>\xED\xA0\x80</a>");  // surrogate
}

TEST(XmlDocument, EveryTruncationIsAnErrorWithAPlace) {
    const std::string page = kPage;
    size_t rootEnd = page.find("</Window>") + 9;
    for (size_t cut = 0; cut < rootEnd; ++cut) {
        XmlElement root;
        XmlError error;
        ASSERT_FALSE(ParseXml(page.substr(0, cut), &root, &error)) << "cut at " << cut;
        EXPECT_GT(error.line, 0);
        EXPECT_GT(error.column, 0);
    }
}

TEST(XmlDocument, DepthIsLimited) {
    XmlElement root;
    XmlError error;
    EXPECT_TRUE(ParseXml(Nested(DuiLib::kMaxXmlDepth), &root, &error)) << error.message;
    EXPECT_NE(ParseBad(Nested(DuiLib::kMaxXmlDepth + 1)).message.find("deeper"), std::string::npos);
    // Far beyond the limit: refused early, without exhausting the stack.
    std::string deep;
    for (int i = 0; i < 200000; ++i)
        deep += "<a>";
    ParseBad(deep);
}

TEST(XmlDocument, LargeFlatPageKeepsEveryElement) {
    std::string text = "<Window>";
    for (int i = 0; i < 5000; ++i) {
        text += "<Button name=\"b" + std::to_string(i) + "\" text=\"&#x4E2D;" + std::to_string(i) +
                "\"/>\n";
    }
    text += "</Window>";
    XmlElement root;
    XmlError error;
    ASSERT_TRUE(ParseXml(text, &root, &error)) << error.message;
    ASSERT_EQ(root.children.size(), 5000u);
    EXPECT_EQ(*root.children[4999].FindAttribute("name"), "b4999");
    EXPECT_EQ(*root.children[4999].FindAttribute("text"),
              "\xE4\xB8\xAD"
              "4999");
    EXPECT_EQ(root.children[4999].line, 5000);
}

TEST(XmlDocument, ManyAttributesAndLongLinesStayCorrect) {
    // One tag with thousands of attributes, the duplicate far from its twin.
    std::string tag = "<a";
    for (int i = 0; i < 3000; ++i)
        tag += " k" + std::to_string(i) + "='v'";
    XmlElement root;
    XmlError error;
    ASSERT_TRUE(ParseXml(tag + "/>", &root, &error)) << error.message;
    EXPECT_EQ(root.attributes.size(), 3000u);
    XmlError e = ParseBad(tag + " k17='again'/>");
    EXPECT_NE(e.message.find("duplicate attribute 'k17'"), std::string::npos) << e.message;
    EXPECT_EQ(e.line, 1);

    // A whole page on one line: columns keep counting.
    std::string line = "<p>";
    for (int i = 0; i < 2000; ++i)
        line += "<b/>";
    line += "</p>";
    ASSERT_TRUE(ParseXml(line, &root, &error)) << error.message;
    EXPECT_EQ(root.children[1999].line, 1);
    EXPECT_EQ(root.children[1999].column, 4 + 1999 * 4);
}
