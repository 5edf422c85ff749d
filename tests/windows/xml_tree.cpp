#include "tests/windows/xml_tree.h"

#include <expat.h>

namespace {

struct Builder {
    std::vector<XmlElement*> open;
    XmlElement* root;
    bool started = false;
};

void XMLCALL Start(void* data, const XML_Char* name, const XML_Char** attributes) {
    Builder* b = static_cast<Builder*>(data);
    XmlElement* element = b->root;
    if (b->started) {
        b->open.back()->children.emplace_back();
        element = &b->open.back()->children.back();
    }
    b->started = true;
    element->name = name;
    for (int i = 0; attributes[i] != nullptr; i += 2) {
        element->attributes[attributes[i]] = attributes[i + 1];
    }
    b->open.push_back(element);
}

void XMLCALL End(void* data, const XML_Char*) {
    Builder* b = static_cast<Builder*>(data);
    std::string& text = b->open.back()->text;
    size_t first = text.find_first_not_of(" \t\r\n");
    text = first == std::string::npos
               ? std::string()
               : text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
    b->open.pop_back();
}

void XMLCALL Text(void* data, const XML_Char* text, int length) {
    static_cast<Builder*>(data)->open.back()->text.append(text, static_cast<size_t>(length));
}

void Collect(const XmlElement& at, const std::string& local,
             std::vector<const XmlElement*>* found) {
    size_t bar = at.name.rfind('|');
    if (at.name.substr(bar == std::string::npos ? 0 : bar + 1) == local) {
        found->push_back(&at);
    }
    for (const XmlElement& child : at.children) {
        Collect(child, local, found);
    }
}

}  // namespace

bool ReadXml(const std::string& bytes, XmlElement* root, std::string* error) {
    *root = XmlElement();
    Builder builder;
    builder.root = root;
    XML_Parser parser = XML_ParserCreateNS(nullptr, '|');
    XML_SetUserData(parser, &builder);
    XML_SetElementHandler(parser, Start, End);
    XML_SetCharacterDataHandler(parser, Text);
    bool ok =
        XML_Parse(parser, bytes.data(), static_cast<int>(bytes.size()), 1) != XML_STATUS_ERROR;
    if (!ok) {
        *error = std::string(XML_ErrorString(XML_GetErrorCode(parser))) + " at line " +
                 std::to_string(XML_GetCurrentLineNumber(parser));
    }
    XML_ParserFree(parser);
    return ok;
}

std::vector<const XmlElement*> XmlElementsAt(const XmlElement& root,
                                             const std::vector<std::string>& path) {
    std::vector<const XmlElement*> level = {&root};
    for (const std::string& name : path) {
        std::vector<const XmlElement*> next;
        for (const XmlElement* element : level) {
            for (const XmlElement& child : element->children) {
                if (child.name == name) {
                    next.push_back(&child);
                }
            }
        }
        level = next;
    }
    return level;
}

std::vector<const XmlElement*> XmlElementsNamed(const XmlElement& root, const std::string& local) {
    std::vector<const XmlElement*> found;
    Collect(root, local, &found);
    return found;
}
