#pragma once
// UTF-8 XML parser for the skin pages: elements, attributes, character entities,
// comments, declaration, CDATA. No DTDs, no namespaces; errors carry line and column.

#include <string>
#include <string_view>
#include <vector>

namespace DuiLib {

struct XmlAttribute {
    std::string name, value;
};

struct XmlElement {
    std::string name;
    std::vector<XmlAttribute> attributes;
    std::vector<XmlElement> children;
    std::string text;  // character data directly inside the element, entities resolved
    int line = 0, column = 0;

    const std::string* FindAttribute(std::string_view name) const;
};

struct XmlError {
    std::string message;
    int line = 0;
    int column = 0;
};

// Deeper nesting is refused rather than risking the stack.
constexpr int kMaxXmlDepth = 200;

// Parses one document. On failure *root is left empty and *error says what and where.
bool ParseXml(std::string_view utf8, XmlElement* root, XmlError* error);

}  // namespace DuiLib
