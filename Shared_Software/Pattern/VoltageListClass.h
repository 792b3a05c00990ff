#pragma once
// One set of actuator voltages: an ordered list of (actuator number,
// voltage) pairs on a checked intrusive list. The list owns its entries and
// keeps their count. Actuator numbers are the 1-based numbers the user sees;
// nothing requires them to be unique.
//
// No lock of its own: the mirror holds its lock while it fills or applies a
// list.
#include <cstdint>

namespace ostrander {

struct VoltageListEntry {
    VoltageListEntry* next = nullptr;
    VoltageListEntry* prev = nullptr;
    std::int32_t Actuator = 0; // 1-based display number
    double Voltage = 0.0;      // volts

    VoltageListEntry() = default;
    VoltageListEntry(std::int32_t actuator, double voltage)
        : Actuator(actuator), Voltage(voltage) {}
    // A copy takes the number and voltage, never the links.
    VoltageListEntry(const VoltageListEntry& other)
        : Actuator(other.Actuator), Voltage(other.Voltage) {}
    VoltageListEntry& operator=(const VoltageListEntry&) = delete;
};

class VoltageListClass {
public:
    VoltageListClass() = default;
    // Removes every entry from the back through the checked list.
    ~VoltageListClass();
    VoltageListClass(const VoltageListClass&) = delete;
    VoltageListClass& operator=(const VoltageListClass&) = delete;

    std::int32_t Count() const { return count; }
    // Walk on through the entries' next links; voltages may be changed in place.
    VoltageListEntry* First() const { return first; }
    VoltageListEntry* Last() const { return last; }
    // First entry from the front with this actuator number, or null.
    VoltageListEntry* Find(std::int32_t actuator) const;

    // Adds an entry directly after the first entry numbered actuator - 1, or
    // at the front when there is none: ascending inserts keep their order.
    // False only when the checked list refused the entry (a corrupted list);
    // the entry is then neither kept nor counted.
    bool Insert(std::int32_t actuator, double voltage);
    // Adds an entry at the back without searching: the same as Insert when the
    // list's numbers rise strictly and the last one is actuator - 1, in
    // constant time. Same result rule as Insert.
    bool Append(std::int32_t actuator, double voltage);
    // Insert(i + 1, volts[i]) for i = 0 .. n - 1.
    bool SetFromArray(const double* volts, int n);
    // Copies this list's voltages into To. With equal counts the voltages go
    // in place, entry paired with entry by actuator number (To keeps its
    // numbers and order); false when To lacks one of the numbers. Otherwise
    // To becomes an exact copy. False for a null To.
    bool CopyTo(VoltageListClass* To) const;
    // Destroys every entry without the list checks.
    void Clear();

    // List header, public for the checked list operations; change the list
    // only through the operations above.
    VoltageListEntry* first = nullptr;
    VoltageListEntry* last = nullptr;

private:
    std::int32_t count = 0;
};

} // namespace ostrander
