#include "driver/DriverInterfaceClass.h"

#include "driver/DriverClass.h"

namespace ostrander {

void DriverInterfaceClass::Configure(const DriverClass& driver) {
    BytesPerValue = driver.GetBytesPerValue();
    ChannelCount = driver.GetChannelCount();
    BankCount = driver.GetBankCount();
    BytesPerBank = driver.GetBytesPerBank();
}

} // namespace ostrander
