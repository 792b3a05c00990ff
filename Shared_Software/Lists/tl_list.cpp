#include "Shared_Software/Lists/tl_list.h"

namespace ostrander::tl {

namespace {
// ("text") as the heads quote expressions.
std::string Quoted(const char* text) {
    std::string q = "(\"";
    q.append(text != nullptr ? text : "");
    q.append("\")");
    return q;
}
} // namespace

std::string Parenthesised(std::string_view text, std::string_view suffix) {
    std::string name = "(";
    name.append(text);
    name.append(")");
    name.append(suffix);
    return name;
}

void WarnNullElement(const Site& site, std::string_view name) {
    std::string head = "LLPRINTEL element(\"";
    head.append(name);
    head.append("\") :");
    Warn(site.file, site.line, head, "NULL ELEMENT pointer.");
}

std::string HeadText(Head head, const Texts& texts) {
    const std::string e = Quoted(texts.element);
    const std::string l = Quoted(texts.list);
    const std::string r = Quoted(texts.reference);
    switch (head) {
    case Head::BackAppend:
        return "LLBACK append element " + e + " onto list " + l + ":";
    case Head::BackFrom:
        return "LLBACK element " + e + " from list " + l + ":";
    case Head::FrontInsert:
        return "LLFRONT insert element " + e + " into list " + l + ":";
    case Head::FrontFree:
        return "LLFRONT insert element " + e + " before ((list).first) in list " + l + ":";
    case Head::FrontFrom:
        return "LLFRONT element " + e + " from list " + l + ":";
    case Head::BeforeInsert:
        return "LLBEFORE insert element " + e + " before element " + r + " in list " + l + ":";
    case Head::BeforeFrom:
        return "LLBEFORE element " + e + " from list " + l + ":";
    case Head::AfterInsert:
        return "LLAFTER insert element " + e + " after element " + r + " in list " + l + ":";
    case Head::AfterFrom:
        return "LLAFTER element " + e + " from list " + l + ":";
    case Head::Remove:
        return "LLREMOVE element " + e + " from list " + l + ":";
    }
    return {};
}

} // namespace ostrander::tl
