// A whole XML document read into a tree with expat, names qualified by their namespace, so
// that a check can say exactly which element of which namespace a document holds.
#pragma once

#include <map>
#include <string>
#include <vector>

struct XmlElement {
    std::string name;  // "namespace|local", or "local" outside any namespace
    std::map<std::string, std::string> attributes;
    std::string text;  // the character data directly inside, whitespace at both ends removed
    std::vector<XmlElement> children;
};

// False with expat's reason and line in `error` when `bytes` are not well-formed XML.
bool ReadXml(const std::string& bytes, XmlElement* root, std::string* error);

// The elements reached from `root` through `path`, one qualified name per level below it.
std::vector<const XmlElement*> XmlElementsAt(const XmlElement& root,
                                             const std::vector<std::string>& path);

// Every element of the tree whose local name is `local`, in any namespace.
std::vector<const XmlElement*> XmlElementsNamed(const XmlElement& root, const std::string& local);
