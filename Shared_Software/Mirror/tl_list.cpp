#include "Shared_Software/Mirror/tl_list.h"

namespace ostrander::tl {

std::string HeadText(Head head, const Texts& texts) {
    const std::string e = "(\"" + std::string(texts.element) + "\")";
    const std::string l = "(\"" + std::string(texts.list) + "\")";
    const std::string r = "(\"" + std::string(texts.reference) + "\")";
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
