#include "ui/core/xml_document.h"

#include <algorithm>
#include <cstring>

namespace DuiLib {

const std::string* XmlElement::FindAttribute(std::string_view attributeName) const {
    for (const XmlAttribute& attribute : attributes) {
        if (attribute.name == attributeName)
            return &attribute.value;
    }
    return nullptr;
}

namespace {

constexpr size_t kLinearDuplicateCheck = 16;

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool IsNameStart(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || u >= 0x80;
}

bool IsNameChar(char c) {
    return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

void AppendUtf8(uint32_t cp, std::string* out) {
    if (cp < 0x80) {
        out->push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Length of the valid UTF-8 sequence at p (1 to 4), or 0 when it is malformed, overlong,
// a surrogate or beyond U+10FFFF.
size_t Utf8SequenceLength(const unsigned char* p, size_t left) {
    unsigned char c = p[0];
    if (c < 0x80)
        return 1;
    size_t n;
    uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
        cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        cp = c & 0x07;
    } else {
        return 0;
    }
    if (left < n)
        return 0;
    for (size_t i = 1; i < n; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    if ((n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000) || cp > 0x10FFFF ||
        (cp >= 0xD800 && cp <= 0xDFFF)) {
        return 0;
    }
    return n;
}

class Parser {
  public:
    Parser(std::string_view text, XmlError* error) : text_(text), error_(error) {}

    bool ParseDocument(XmlElement* root);

  private:
    bool Fail(size_t at, std::string message);
    // Line and column (1-based, in characters) of an offset. Offsets mostly grow, so
    // the count continues from the last answer and the whole parse stays linear.
    void Locate(size_t at, int* line, int* column);

    bool AtEnd() const { return pos_ >= text_.size(); }
    bool StartsWith(std::string_view s) const { return text_.substr(pos_, s.size()) == s; }
    void SkipSpace() {
        while (pos_ < text_.size() && IsSpace(text_[pos_]))
            ++pos_;
    }

    bool CheckCharacters();
    bool ParseMisc(bool* found);  // comment, processing instruction or blanks
    bool SkipComment();
    bool SkipProcessingInstruction();
    bool ParseName(std::string_view* name);
    bool ParseName(std::string* name);
    bool ParseElement(XmlElement* element, int depth);
    bool ParseAttributes(XmlElement* element, bool* selfClosing);
    bool CheckManyAttributes(const XmlElement* element);
    bool FailAtElement(const XmlElement* element, std::string message);
    bool ParseContent(XmlElement* element, int depth);
    bool AppendEntity(std::string* out);  // at '&'

    std::string_view text_;
    XmlError* error_;
    size_t pos_ = 0;
    size_t locatedOffset_ = 0;
    int locatedLine_ = 1;
    int locatedColumn_ = 1;
};

bool Parser::Fail(size_t at, std::string message) {
    if (error_) {
        error_->message = std::move(message);
        Locate(at, &error_->line, &error_->column);
    }
    return false;
}

bool Parser::FailAtElement(const XmlElement* element, std::string message) {
    if (error_) {
        error_->message = std::move(message);
        error_->line = element->line;
        error_->column = element->column;
    }
    return false;
}

void Parser::Locate(size_t at, int* line, int* column) {
    if (at > text_.size())
        at = text_.size();
    if (at < locatedOffset_) {
        locatedOffset_ = 0;
        locatedLine_ = 1;
        locatedColumn_ = 1;
    }
    const char* base = text_.data();
    size_t p = locatedOffset_;
    while (p < at) {
        const void* nl = std::memchr(base + p, '\n', at - p);
        if (!nl)
            break;
        p = static_cast<size_t>(static_cast<const char*>(nl) - base) + 1;
        ++locatedLine_;
        locatedColumn_ = 1;
    }
    // Columns continue from the last answer too, so a page written on one line stays linear.
    for (; p < at; ++p) {
        if ((static_cast<unsigned char>(base[p]) & 0xC0) != 0x80)
            ++locatedColumn_;
    }
    locatedOffset_ = at;
    *line = locatedLine_;
    *column = locatedColumn_;
}

bool Parser::CheckCharacters() {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text_.data());
    size_t size = text_.size();
    for (size_t i = 0; i < size;) {
        unsigned char c = p[i];
        if (c < 0x80) {
            if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') {
                return Fail(i, "control character " + std::to_string(c) + " in the text");
            }
            ++i;
            continue;
        }
        size_t n = Utf8SequenceLength(p + i, size - i);
        if (n == 0)
            return Fail(i, "invalid UTF-8");
        i += n;
    }
    return true;
}

bool Parser::SkipComment() {
    size_t start = pos_;
    size_t end = text_.find("-->", pos_ + 4);
    if (end == std::string_view::npos)
        return Fail(start, "unterminated comment");
    pos_ = end + 3;
    return true;
}

bool Parser::SkipProcessingInstruction() {
    size_t start = pos_;
    size_t end = text_.find("?>", pos_ + 2);
    if (end == std::string_view::npos)
        return Fail(start, "unterminated processing instruction");
    pos_ = end + 2;
    return true;
}

bool Parser::ParseMisc(bool* found) {
    *found = true;
    SkipSpace();
    if (StartsWith("<!--"))
        return SkipComment();
    if (StartsWith("<?"))
        return SkipProcessingInstruction();
    if (StartsWith("<!DOCTYPE"))
        return Fail(pos_, "document type declarations are not supported");
    *found = false;
    return true;
}

bool Parser::ParseName(std::string_view* name) {
    size_t start = pos_;
    if (AtEnd() || !IsNameStart(text_[pos_])) {
        return Fail(pos_, AtEnd() ? "unexpected end of input, expected a name" : "expected a name");
    }
    while (pos_ < text_.size() && IsNameChar(text_[pos_]))
        ++pos_;
    *name = text_.substr(start, pos_ - start);
    return true;
}

bool Parser::ParseName(std::string* name) {
    std::string_view view;
    if (!ParseName(&view))
        return false;
    name->assign(view);
    return true;
}

bool Parser::AppendEntity(std::string* out) {
    size_t start = pos_;
    size_t semi = pos_ + 1;
    // Entity names here are short; don't scan far for a semicolon.
    while (semi < text_.size() && semi - start <= 12 && text_[semi] != ';')
        ++semi;
    if (semi >= text_.size() || text_[semi] != ';') {
        return Fail(start, "'&' not followed by an entity reference (write &amp;)");
    }
    std::string_view ref = text_.substr(start + 1, semi - start - 1);
    pos_ = semi + 1;
    if (ref == "lt") {
        out->push_back('<');
    } else if (ref == "gt") {
        out->push_back('>');
    } else if (ref == "amp") {
        out->push_back('&');
    } else if (ref == "quot") {
        out->push_back('"');
    } else if (ref == "apos") {
        out->push_back('\'');
    } else if (ref.size() >= 2 && ref[0] == '#') {
        bool hex = ref[1] == 'x';
        std::string_view digits = ref.substr(hex ? 2 : 1);
        if (digits.empty())
            return Fail(start, "empty character reference");
        uint32_t cp = 0;
        for (char c : digits) {
            int v;
            if (c >= '0' && c <= '9') {
                v = c - '0';
            } else if (hex && c >= 'a' && c <= 'f') {
                v = c - 'a' + 10;
            } else if (hex && c >= 'A' && c <= 'F') {
                v = c - 'A' + 10;
            } else {
                return Fail(start, "bad character reference &" + std::string(ref) + ";");
            }
            cp = cp * (hex ? 16 : 10) + static_cast<uint32_t>(v);
            if (cp > 0x10FFFF)
                break;
        }
        if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) ||
            (cp < 0x20 && cp != '\t' && cp != '\n' && cp != '\r')) {
            return Fail(start,
                        "character reference &" + std::string(ref) + "; is not a valid character");
        }
        AppendUtf8(cp, out);
    } else {
        return Fail(start, "unknown entity &" + std::string(ref) + ";");
    }
    return true;
}

bool Parser::CheckManyAttributes(const XmlElement* element) {
    if (element->attributes.size() <= kLinearDuplicateCheck)
        return true;
    std::vector<std::string_view> names;
    names.reserve(element->attributes.size());
    for (const XmlAttribute& attribute : element->attributes)
        names.push_back(attribute.name);
    std::sort(names.begin(), names.end());
    auto twin = std::adjacent_find(names.begin(), names.end());
    if (twin == names.end())
        return true;
    return FailAtElement(element, "duplicate attribute '" + std::string(*twin) + "'");
}

bool Parser::ParseAttributes(XmlElement* element, bool* selfClosing) {
    for (;;) {
        size_t before = pos_;
        SkipSpace();
        if (AtEnd())
            return Fail(pos_, "unexpected end of input inside tag <" + element->name + ">");
        char c = text_[pos_];
        if (c == '>') {
            ++pos_;
            *selfClosing = false;
            return CheckManyAttributes(element);
        }
        if (c == '/') {
            if (pos_ + 1 >= text_.size() || text_[pos_ + 1] != '>') {
                return Fail(pos_, "expected '/>'");
            }
            pos_ += 2;
            *selfClosing = true;
            return CheckManyAttributes(element);
        }
        if (pos_ == before)
            return Fail(pos_, "expected a blank before the attribute");
        size_t nameAt = pos_;
        XmlAttribute attribute;
        if (!ParseName(&attribute.name))
            return false;
        // Pages have a handful of attributes; a hostile tag with thousands is checked
        // once at its end instead, so the cost stays n log n.
        if (element->attributes.size() < kLinearDuplicateCheck &&
            element->FindAttribute(attribute.name)) {
            return Fail(nameAt, "duplicate attribute '" + attribute.name + "'");
        }
        SkipSpace();
        if (AtEnd() || text_[pos_] != '=') {
            return Fail(pos_, "expected '=' after attribute '" + attribute.name + "'");
        }
        ++pos_;
        SkipSpace();
        if (AtEnd() || (text_[pos_] != '"' && text_[pos_] != '\'')) {
            return Fail(pos_, "expected a quoted value for attribute '" + attribute.name + "'");
        }
        char quote = text_[pos_++];
        size_t valueStart = pos_;
        for (;;) {
            size_t stop = pos_;
            while (stop < text_.size() && text_[stop] != quote && text_[stop] != '&' &&
                   text_[stop] != '<') {
                ++stop;
            }
            attribute.value.append(text_.data() + pos_, stop - pos_);
            pos_ = stop;
            if (AtEnd()) {
                return Fail(valueStart - 1,
                            "unterminated value of attribute '" + attribute.name + "'");
            }
            if (text_[pos_] == quote) {
                ++pos_;
                break;
            }
            if (text_[pos_] == '<')
                return Fail(pos_, "'<' inside an attribute value");
            if (!AppendEntity(&attribute.value))
                return false;
        }
        element->attributes.push_back(std::move(attribute));
    }
}

bool Parser::ParseElement(XmlElement* element, int depth) {
    if (depth > kMaxXmlDepth) {
        return Fail(pos_, "elements nested deeper than " + std::to_string(kMaxXmlDepth));
    }
    Locate(pos_, &element->line, &element->column);
    ++pos_;  // '<'
    if (!ParseName(&element->name))
        return false;
    bool selfClosing = false;
    if (!ParseAttributes(element, &selfClosing))
        return false;
    if (selfClosing)
        return true;
    return ParseContent(element, depth);
}

bool Parser::ParseContent(XmlElement* element, int depth) {
    bool onlyBlanks = true;
    for (;;) {
        size_t stop = pos_;
        while (stop < text_.size() && text_[stop] != '<' && text_[stop] != '&') {
            if (!IsSpace(text_[stop]))
                onlyBlanks = false;
            ++stop;
        }
        element->text.append(text_.data() + pos_, stop - pos_);
        pos_ = stop;
        if (AtEnd()) {
            return Fail(pos_, "unexpected end of input: <" + element->name + "> at line " +
                                  std::to_string(element->line) + " is not closed");
        }
        if (text_[pos_] == '&') {
            onlyBlanks = false;
            if (!AppendEntity(&element->text))
                return false;
            continue;
        }
        if (StartsWith("</")) {
            size_t closeAt = pos_;
            pos_ += 2;
            std::string_view name;
            if (!ParseName(&name))
                return false;
            SkipSpace();
            if (AtEnd() || text_[pos_] != '>')
                return Fail(pos_, "expected '>'");
            ++pos_;
            if (name != element->name) {
                return Fail(closeAt, "</" + std::string(name) + "> does not match <" +
                                         element->name + "> at line " +
                                         std::to_string(element->line));
            }
            if (onlyBlanks)
                element->text.clear();
            return true;
        }
        if (StartsWith("<!--")) {
            if (!SkipComment())
                return false;
            continue;
        }
        if (StartsWith("<![CDATA[")) {
            size_t start = pos_;
            size_t end = text_.find("]]>", pos_ + 9);
            if (end == std::string_view::npos)
                return Fail(start, "unterminated CDATA section");
            element->text.append(text_.data() + pos_ + 9, end - pos_ - 9);
            onlyBlanks = false;
            pos_ = end + 3;
            continue;
        }
        if (StartsWith("<?")) {
            if (!SkipProcessingInstruction())
                return false;
            continue;
        }
        if (StartsWith("<!"))
            return Fail(pos_, "unsupported markup declaration");
        element->children.emplace_back();
        if (!ParseElement(&element->children.back(), depth + 1))
            return false;
    }
}

bool Parser::ParseDocument(XmlElement* root) {
    if (StartsWith("\xEF\xBB\xBF"))
        pos_ = 3;
    if (!CheckCharacters())
        return false;
    bool found = true;
    while (found) {
        if (!ParseMisc(&found))
            return false;
    }
    if (AtEnd())
        return Fail(pos_, "no root element");
    if (text_[pos_] != '<')
        return Fail(pos_, "text outside the root element");
    if (!ParseElement(root, 1))
        return false;
    found = true;
    while (found) {
        if (!ParseMisc(&found))
            return false;
    }
    if (!AtEnd())
        return Fail(pos_, "content after the root element");
    return true;
}

}  // namespace

bool ParseXml(std::string_view utf8, XmlElement* root, XmlError* error) {
    *root = XmlElement();
    if (error)
        *error = XmlError();
    Parser parser(utf8, error);
    if (!parser.ParseDocument(root)) {
        *root = XmlElement();
        return false;
    }
    return true;
}

}  // namespace DuiLib
