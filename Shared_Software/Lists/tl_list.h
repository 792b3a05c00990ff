#pragma once
// Checked intrusive doubly linked lists.
//
// A list is any object with the members `first` and `last` (pointers to the
// element type, both null when empty); an element is any object whose first
// members are `next` and `prev`. ListHead and ListLinks provide them. The list
// never allocates or frees elements.
//
// Every operation checks the list header and the links of the elements it
// touches before changing anything. A failed check prints a warning to the
// standard error stream naming the use site (file and line) and the element
// and list expressions, and leaves list and elements exactly as they were.
//
//   LLBACK(list, element)              append
//   LLFRONT(list, element)             prepend
//   LLBEFORE(list, element, reference) insert before reference
//   LLAFTER(list, element, reference)  insert after reference
//   LLREMOVE(list, element)            unlink; the element becomes free
//   LLPRINTEL(element, name)           dump one element line
//   LLPRINTLIST(list, name)            dump the list header line
#include "Shared_Software/Lists/tl_err.h"
#include "Shared_Software/Lists/tl_util.h"

#include <cstddef>
#include <string>
#include <type_traits>
#include <utility>

namespace ostrander {

template <class T> struct ListLinks {
    T* next = nullptr;
    T* prev = nullptr;
};

template <class T> struct ListHead {
    T* first = nullptr;
    T* last = nullptr;
};

namespace tl {

struct Site {
    const char* file;
    int line;
};

// Pointer type of the elements of a list type.
template <class L> using ElementPtr = std::remove_cvref_t<decltype(std::declval<L&>().first)>;

enum class Op { Back, Front, Before, After };

// Texts of one use site: the element, list and reference expressions.
struct Texts {
    const char* element;
    const char* list;
    const char* reference;
};

// Message heads. Built only when a check fails.
enum class Head {
    BackAppend,   // LLBACK append element ("E") onto list ("L"):
    BackFrom,     // LLBACK element ("E") from list ("L"):
    FrontInsert,  // LLFRONT insert element ("E") into list ("L"):
    FrontFree,    // LLFRONT insert element ("E") before ((list).first) in list ("L"):
    FrontFrom,    // LLFRONT element ("E") from list ("L"):
    BeforeInsert, // LLBEFORE insert element ("E") before element ("R") in list ("L"):
    BeforeFrom,   // LLBEFORE element ("E") from list ("L"):
    AfterInsert,  // LLAFTER insert element ("E") after element ("R") in list ("L"):
    AfterFrom,    // LLAFTER element ("E") from list ("L"):
    Remove,       // LLREMOVE element ("E") from list ("L"):
};
std::string HeadText(Head head, const Texts& texts);

// "(text)" followed by suffix, e.g. "(ActuatorList).first".
std::string Parenthesised(std::string_view text, std::string_view suffix = {});
// The warning of LLPRINTEL for a null element.
void WarnNullElement(const Site& site, std::string_view name);

template <class E> void PrintElement(const Site& site, E* element, std::string_view name) {
    if (element == nullptr) {
        WarnNullElement(site, name);
        return;
    }
    PrintElementLine(name, element, element->prev, element->next);
}

inline void PrintElement(const Site& site, std::nullptr_t, std::string_view name) {
    WarnNullElement(site, name);
}

template <class L> void PrintList(const L& list, std::string_view name) {
    PrintListLine(name, &list, list.first, list.last);
}

// The list line named "(L)" followed by the element line of one list end
// named "(L).first" or "(L).last", or of a given element named "(E)".
template <class L, class E>
void DumpWith(const Site& site, const L& list, const char* listText, E* element,
              const std::string& elementName) {
    PrintList(list, Parenthesised(listText));
    PrintElement(site, element, elementName);
}

template <class L> void DumpList(const L& list, const char* listText) {
    PrintList(list, Parenthesised(listText));
}

template <class L>
void Insert(Op op, L& list, ElementPtr<L> element, ElementPtr<L> reference, const Site& site,
            const Texts& texts) {
    // Inserting before the first or after the last element is a plain
    // prepend or append, with their checks and messages.
    if (op == Op::Before && reference == list.first)
        op = Op::Front;
    else if (op == Op::After && reference == list.last)
        op = Op::Back;

    Head elementHead, freeHead, listHead, endHead;
    switch (op) {
    case Op::Back:
        elementHead = freeHead = Head::BackAppend;
        listHead = endHead = Head::BackFrom;
        break;
    case Op::Front:
        elementHead = listHead = Head::FrontInsert;
        freeHead = Head::FrontFree;
        endHead = Head::FrontFrom;
        break;
    case Op::Before:
        elementHead = freeHead = listHead = Head::BeforeInsert;
        endHead = Head::BeforeFrom;
        break;
    case Op::After:
    default:
        elementHead = freeHead = listHead = Head::AfterInsert;
        endHead = Head::AfterFrom;
        break;
    }
    auto warn = [&](Head head, const char* tail) {
        Warn(site.file, site.line, HeadText(head, texts), tail);
    };

    if (element == nullptr) {
        warn(elementHead, op == Op::Front ? "NULL ELEMENT." : "NULL ELEMENT pointer.");
        return;
    }
    if (element->next != nullptr || element->prev != nullptr) {
        warn(freeHead, "ELEMENT NOT FREE.");
        return;
    }
    if ((list.first == nullptr) != (list.last == nullptr)) {
        warn(listHead, "LIST INCONSISTENT.");
        DumpList(list, texts.list);
        return;
    }
    if (list.first != nullptr && list.first->prev != nullptr) {
        warn(endHead, "LIST AND FIRST LIST ELEMENT INCONSISTENT.");
        DumpWith(site, list, texts.list, list.first, Parenthesised(texts.list, ".first"));
        return;
    }
    if (list.last != nullptr && list.last->next != nullptr) {
        warn(endHead, "LIST AND LAST LIST ELEMENT INCONSISTENT.");
        DumpWith(site, list, texts.list, list.last, Parenthesised(texts.list, ".last"));
        return;
    }
    // The reference element must be linked on the side where the new element
    // goes; otherwise following its links would leave the list.
    if (op == Op::Before || op == Op::After) {
        if (reference == nullptr) {
            warn(listHead, "NULL REFERENCE ELEMENT pointer.");
            return;
        }
        if ((op == Op::Before ? reference->prev : reference->next) == nullptr) {
            warn(listHead, "REFERENCE ELEMENT NOT IN LIST.");
            DumpWith(site, list, texts.list, reference, Parenthesised(texts.reference));
            return;
        }
    }

    switch (op) {
    case Op::Back:
        if (list.last != nullptr) {
            list.last->next = element;
            element->prev = list.last;
            list.last = element;
        } else {
            list.first = list.last = element;
        }
        break;
    case Op::Front:
        if (list.first != nullptr) {
            element->next = list.first;
            list.first->prev = element;
            list.first = element;
        } else {
            list.first = list.last = element;
        }
        break;
    case Op::Before: {
        auto predecessor = reference->prev;
        element->next = reference;
        element->prev = predecessor;
        predecessor->next = element;
        reference->prev = element;
        break;
    }
    case Op::After: {
        auto successor = reference->next;
        element->prev = reference;
        element->next = successor;
        successor->prev = element;
        reference->next = element;
        break;
    }
    }
}

template <class L>
void Remove(L& list, ElementPtr<L> element, const Site& site, const Texts& texts) {
    auto warn = [&](const char* tail) {
        Warn(site.file, site.line, HeadText(Head::Remove, texts), tail);
    };
    if (element == nullptr) {
        warn("NULL ELEMENT pointer.");
        return;
    }
    if (list.first == nullptr && list.last == nullptr) {
        warn("LIST EMPTY.");
        return;
    }
    if (list.first == nullptr || list.last == nullptr) {
        warn("LIST INCONSISTENT.");
        DumpList(list, texts.list);
        return;
    }
    if (list.first->prev != nullptr) {
        warn("LIST AND FIRST LIST ELEMENT INCONSISTENT.");
        DumpWith(site, list, texts.list, list.first, Parenthesised(texts.list, ".first"));
        return;
    }
    if (list.last->next != nullptr) {
        warn("LIST AND LAST LIST ELEMENT INCONSISTENT.");
        DumpWith(site, list, texts.list, list.last, Parenthesised(texts.list, ".last"));
        return;
    }
    if ((element != list.first && element->prev == nullptr) ||
        (element != list.last && element->next == nullptr)) {
        warn("ELEMENT NOT IN LIST.");
        DumpWith(site, list, texts.list, element, Parenthesised(texts.element));
        return;
    }
    if (element->prev != nullptr)
        element->prev->next = element->next;
    else
        list.first = element->next;
    if (element->next != nullptr)
        element->next->prev = element->prev;
    else
        list.last = element->prev;
    element->prev = nullptr;
    element->next = nullptr;
}

} // namespace tl
} // namespace ostrander

#define TL_SITE_HERE (::ostrander::tl::Site{__FILE__, __LINE__})

#define LLBACK(list, element)                                                                      \
    ::ostrander::tl::Insert(::ostrander::tl::Op::Back, (list), (element), nullptr, TL_SITE_HERE,   \
                            ::ostrander::tl::Texts{#element, #list, ""})
#define LLFRONT(list, element)                                                                     \
    ::ostrander::tl::Insert(::ostrander::tl::Op::Front, (list), (element), nullptr, TL_SITE_HERE,  \
                            ::ostrander::tl::Texts{#element, #list, ""})
#define LLBEFORE(list, element, reference)                                                         \
    ::ostrander::tl::Insert(::ostrander::tl::Op::Before, (list), (element), (reference),           \
                            TL_SITE_HERE, ::ostrander::tl::Texts{#element, #list, #reference})
#define LLAFTER(list, element, reference)                                                          \
    ::ostrander::tl::Insert(::ostrander::tl::Op::After, (list), (element), (reference),            \
                            TL_SITE_HERE, ::ostrander::tl::Texts{#element, #list, #reference})
#define LLREMOVE(list, element)                                                                    \
    ::ostrander::tl::Remove((list), (element), TL_SITE_HERE,                                       \
                            ::ostrander::tl::Texts{#element, #list, ""})
#define LLPRINTEL(element, name) ::ostrander::tl::PrintElement(TL_SITE_HERE, (element), (name))
#define LLPRINTLIST(list, name) ::ostrander::tl::PrintList((list), (name))
