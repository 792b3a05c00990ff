#include "driver/DriverFormatterClass.h"

#include "driver/DriverClass.h"

namespace ostrander {

DriverFormatterClass::DriverFormatterClass(std::string name, DriverClass& driver)
    : Driver(&driver), Name(std::move(name)), ChannelCount(driver.GetChannelCount()) {
    for (int i = 0; i < 4; ++i)
        Setting[i] = driver.GetSetting(i);
    for (int i = 0; i < 2; ++i)
        DoubleSetting[i] = driver.GetDoubleSetting(i);
}

void DriverFormatterClass::ReadBank(int bank, double* out, int count) {
    for (int c = 0; c < count; ++c)
        out[c] = Read(c, bank);
}

} // namespace ostrander
