#include "toolkit/Synchronizer.h"

#include <gtest/gtest.h>

using namespace ostrander;

TEST(Synchronizer, WriterMayReenter) {
    Synchronizer s;
    s.BeginWrite();
    s.BeginWrite();
    s.BeginRead();
    s.EndRead();
    s.EndWrite();
    s.EndWrite();
    s.BeginRead();
    s.EndRead();
}
