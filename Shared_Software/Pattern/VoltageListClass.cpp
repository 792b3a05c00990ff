#include "Shared_Software/Pattern/VoltageListClass.h"

#include "Shared_Software/Lists/tl_list.h"

namespace ostrander {

namespace {
bool Linked(const VoltageListClass& list, const VoltageListEntry* entry) {
    return entry->next != nullptr || entry->prev != nullptr || list.First() == entry;
}
} // namespace

VoltageListClass::~VoltageListClass() {
    while (last != nullptr) {
        VoltageListEntry* Entry = last;
        LLREMOVE(*this, Entry);
        if (last == Entry)
            break; // the list is damaged; leave the rest rather than loop
        --count;
        delete Entry;
    }
}

VoltageListEntry* VoltageListClass::Find(std::int32_t actuator) const {
    for (VoltageListEntry* Entry = first; Entry != nullptr; Entry = Entry->next)
        if (Entry->Actuator == actuator)
            return Entry;
    return nullptr;
}

bool VoltageListClass::Insert(std::int32_t actuator, double voltage) {
    VoltageListEntry* NewEntry = new VoltageListEntry(actuator, voltage);
    // actuator - 1 without overflow: no entry can precede the lowest number.
    VoltageListEntry* Entry = actuator == INT32_MIN ? nullptr : Find(actuator - 1);
    if (Entry != nullptr)
        LLAFTER(*this, NewEntry, Entry);
    else
        LLFRONT(*this, NewEntry);
    if (!Linked(*this, NewEntry)) {
        delete NewEntry;
        return false;
    }
    ++count;
    return true;
}

bool VoltageListClass::Append(std::int32_t actuator, double voltage) {
    VoltageListEntry* NewEntry = new VoltageListEntry(actuator, voltage);
    LLBACK(*this, NewEntry);
    if (!Linked(*this, NewEntry)) {
        delete NewEntry;
        return false;
    }
    ++count;
    return true;
}

bool VoltageListClass::SetFromArray(const double* volts, int n) {
    bool ok = true;
    // Into an empty list the numbers 1 ... n are distinct and rising, so the
    // entry Insert would search for is always the last one: appending gives
    // the same list without searching, linear in n.
    const bool append = first == nullptr;
    for (int i = 0; volts != nullptr && i < n; ++i)
        ok = (append ? Append(i + 1, volts[i]) : Insert(i + 1, volts[i])) && ok;
    return ok;
}

bool VoltageListClass::CopyTo(VoltageListClass* To) const {
    if (To == nullptr)
        return false;
    if (To->count == count) {
        VoltageListEntry* paired = nullptr;
        for (VoltageListEntry* Entry = first; Entry != nullptr; Entry = Entry->next) {
            VoltageListEntry* ToEntry = paired != nullptr ? paired->next : To->first;
            if (ToEntry == nullptr || ToEntry->Actuator != Entry->Actuator)
                ToEntry = To->Find(Entry->Actuator);
            if (ToEntry == nullptr)
                return false;
            ToEntry->Voltage = Entry->Voltage;
            paired = ToEntry;
        }
        return true;
    }
    To->Clear();
    bool ok = true;
    for (VoltageListEntry* Entry = first; Entry != nullptr; Entry = Entry->next) {
        VoltageListEntry* ToEntry = new VoltageListEntry(*Entry);
        LLBACK(*To, ToEntry);
        if (!Linked(*To, ToEntry)) {
            delete ToEntry;
            ok = false;
            continue;
        }
        ++To->count;
    }
    return ok;
}

void VoltageListClass::Clear() {
    VoltageListEntry* Entry = first;
    // Bounded by the count, so that damaged links cannot make it loop.
    for (std::int32_t i = 0; Entry != nullptr && i < count; ++i) {
        VoltageListEntry* next = Entry->next;
        delete Entry;
        Entry = next;
    }
    first = last = nullptr;
    count = 0;
}

} // namespace ostrander
