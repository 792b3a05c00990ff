#include "Shared_Software/Mirror/MirrorClass.h"
#include "MirrorCheck.h"
#include "MirrorFixture.h"
#include "Shared_Software/Pattern/VoltageListClass.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <vector>

using namespace ostrander;
using namespace ostrander::testing_support;

namespace {

class MirrorTest : public DeviceFolderTest {};

// Records what reaches the port; reads the mirror back at each notification.
class RecordingPort : public DriverInterfaceClass {
public:
    RecordingPort(MirrorClass& mirror, std::vector<std::string>& log) : m_(mirror), log_(log) {}
    bool SendChannel(int channel, int bank) override {
        log_.push_back("channel " + std::to_string(channel) + " bank " + std::to_string(bank));
        return true;
    }
    bool SendBank(int bank) override {
        std::string line = "bank " + std::to_string(bank) + ":";
        for (int c = 0; c < m_.GetDriver()->GetChannelCount(); ++c)
            line += " " + FormatFloat("0", m_.GetDriver()->Get(c, bank));
        log_.push_back(line);
        return true;
    }
    // Runs inside the mirror's lock, on the same thread: the lock re-enters.
    void Update() override {
        log_.push_back("update, mean " + FormatFloat("0", m_.GetMeanVoltage(0)));
    }

private:
    MirrorClass& m_;
    std::vector<std::string>& log_;
};

} // namespace

TEST_F(MirrorTest, InvalidMirrorsRefuseEverything) {
    MirrorLayout notMirror;
    notMirror.fileType = "Driver Info";
    MirrorLayout negative;
    negative.modelActuators = -2;
    MirrorLayout tooMany;
    tooMany.modelActuators = DriverClass::MaxChannelCount + 1;
    MirrorLayout huge;
    huge.modelActuators = 2000000000;
    const std::string names[] = {
        "",
        "Driver Diagnostic",
        std::string(DeviceFolderRelative) + "missing.ini",
        WriteMirror("other.ini", notMirror),
        WriteMirror("negative.ini", negative),
        WriteMirror("toomany.ini", tooMany),
        WriteMirror("huge.ini", huge),
        WriteDevice("nomodel.ini", "[General]\nFileType=Mirror Info\n"),
    };
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        MirrorClass m(name);
        EXPECT_FALSE(m.IsValid());
        EXPECT_EQ(m.GetDriver(), nullptr); // no buffer was allocated
        EXPECT_EQ(m.GetMaxVoltage(), 0.0);
        EXPECT_EQ(m.GetChannelCount(), 0);
        EXPECT_EQ(m.GetActuatorCount(), 0);
        EXPECT_EQ(m.GetModelActuators(), 0);
        EXPECT_EQ(m.GetFileName(), "");
        EXPECT_EQ(m.GetVoltage(1), 0.0);
        EXPECT_FALSE(m.SetVoltage(1, 10.0));
        EXPECT_FALSE(m.SetChannelVoltage(0, 10.0, 0));
        EXPECT_FALSE(m.SetAllChannels(10.0));
        EXPECT_FALSE(m.SetVoltageAndSend(1, 10.0));
        EXPECT_FALSE(m.SendBank(0));
        VoltageListClass list;
        list.Insert(1, 5.0);
        EXPECT_FALSE(m.ApplyVoltageList(&list, 0));
        m.ReadVoltages(list);
        EXPECT_EQ(list.Count(), 0);
        m.SetAllActuators(10.0);
        m.ZeroAll();
    }
}

TEST_F(MirrorTest, NewMirrorHoldsZeroEverywhere) {
    MirrorLayout layout;
    layout.actuators = 5;
    layout.limitVoltage = 120;
    const std::string name = WriteMirror("m.ini", layout);
    MirrorClass m(name);
    ASSERT_TRUE(m.IsValid());
    EXPECT_EQ(m.GetFileName(), name);
    EXPECT_EQ(m.GetChannelCount(), 5);
    EXPECT_EQ(m.GetActuatorCount(), 5);
    EXPECT_EQ(m.GetModelActuators(), 5);
    EXPECT_EQ(m.GetBankCount(), 1);
    EXPECT_EQ(m.GetStepSize(), 10.0);
    EXPECT_EQ(m.GetLimitVoltage(), 120.0);
    EXPECT_EQ(m.GetMaxVoltage(), 350.0);
    EXPECT_EQ(m.GetSurfaceChannel(), -1);
    EXPECT_TRUE(m.GetDriver()->GetOutputHold());
    for (int i = 1; i <= 5; ++i) {
        EXPECT_EQ(m.GetVoltage(i), 0.0);
        EXPECT_EQ(m.GetVoltageText(i), "0V");
    }
    EXPECT_EQ(m.GetMeanVoltage(0), 0.0);
    EXPECT_EQ(m.GetSurfaceVoltage(0), 0.0);
    ExpectConsistent(m, -1);
    m.SetStepSize(2.5);
    m.SetStepSize(std::nan(""));
    EXPECT_EQ(m.GetStepSize(), 2.5);
}

TEST_F(MirrorTest, MeanLimitLowersTheRequestToReachTheLimitExactly) {
    MirrorClass m(WriteMirror("m.ini", MirrorLayout{}));
    ASSERT_TRUE(m.IsValid());
    EXPECT_TRUE(m.SetVoltage(1, 300.0));
    EXPECT_EQ(m.GetVoltage(1), 300.0);
    EXPECT_DOUBLE_EQ(m.GetMeanVoltage(0), 75.0);
    EXPECT_TRUE(m.SetVoltage(2, 300.0));
    EXPECT_DOUBLE_EQ(m.GetVoltage(2), 100.0);
    EXPECT_DOUBLE_EQ(m.GetMeanVoltage(0), 100.0);
    // At the limit, a further raise stores nothing new but still succeeds;
    // lowering frees room again.
    EXPECT_TRUE(m.SetVoltage(3, 50.0));
    EXPECT_NEAR(m.GetVoltage(3), 0.0, 1e-9);
    EXPECT_TRUE(m.SetVoltage(1, 200.0));
    EXPECT_TRUE(m.SetVoltage(3, 50.0));
    EXPECT_DOUBLE_EQ(m.GetVoltage(3), 50.0);
    ExpectConsistent(m, -1);
}

TEST_F(MirrorTest, LowestVoltageRaisesRequests) {
    MirrorClass m(WriteMirror("m.ini", MirrorLayout{}));
    ASSERT_TRUE(m.IsValid());
    EXPECT_TRUE(m.SetVoltage(1, -40.0));
    EXPECT_EQ(m.GetVoltage(1), 0.0);
    m.GetDriver()->GetInfo()->MinVoltage = 5.7; // counts as 5 V
    EXPECT_TRUE(m.SetVoltage(2, 2.0));
    EXPECT_EQ(m.GetVoltage(2), 5.0);
    EXPECT_TRUE(m.SetVoltage(3, 20.0));
    EXPECT_EQ(m.GetVoltage(3), 20.0);
    EXPECT_FALSE(m.SetVoltage(3, std::nan("")));
    EXPECT_EQ(m.GetVoltage(3), 20.0);
    ExpectConsistent(m, -1);
}

TEST_F(MirrorTest, RequestAboveTheCeilingStoresTheCeilingAndEverythingFollows) {
    MirrorLayout layout;
    layout.limitVoltage = 100;
    MirrorClass m(WriteMirror("m.ini", layout));
    ASSERT_TRUE(m.IsValid());
    // Within the mean limit: the ceiling itself is stored.
    EXPECT_FALSE(m.SetVoltage(1, 351.0));
    EXPECT_EQ(m.GetVoltage(1), 350.0);
    EXPECT_EQ(m.GetVoltageText(1), "350V");
    EXPECT_DOUBLE_EQ(m.GetMeanVoltage(0), 87.5);
    ExpectConsistent(m, -1);
    // Beyond it: the ceiling goes through the mean rule like any request.
    EXPECT_FALSE(m.SetVoltage(2, std::numeric_limits<double>::infinity()));
    EXPECT_DOUBLE_EQ(m.GetVoltage(2), 50.0);
    EXPECT_DOUBLE_EQ(m.GetMeanVoltage(0), 100.0);
    ExpectConsistent(m, -1);
}

TEST_F(MirrorTest, SurfaceElectrodeShiftsTheMeanAndGuardsItsOwnChannel) {
    MirrorLayout layout;
    layout.actuators = 4;
    layout.surfaceIndex = 3; // channel 3, display number 4
    layout.limitVoltage = 100;
    MirrorClass m(WriteMirror("m.ini", layout));
    ASSERT_TRUE(m.IsValid());
    EXPECT_EQ(m.GetSurfaceChannel(), 3);

    EXPECT_TRUE(m.SetVoltage(1, 120.0));
    EXPECT_TRUE(m.SetVoltage(2, 120.0));
    EXPECT_DOUBLE_EQ(m.GetMeanVoltage(0), 60.0);
    EXPECT_TRUE(m.SetVoltage(4, 50.0));
    EXPECT_EQ(m.GetSurfaceVoltage(0), 50.0);
    // Differences to the surface: (70 + 70 - 50 + 0) / 4.
    EXPECT_DOUBLE_EQ(m.GetMeanVoltage(0), 22.5);
    ExpectConsistent(m, 3);

    // At 250 V the mean would be (-130 - 130 - 250 + 0) / 4 = -127.5:
    // refused, nothing changes.
    EXPECT_FALSE(m.SetVoltage(4, 250.0));
    EXPECT_EQ(m.GetVoltage(4), 50.0);
    EXPECT_EQ(m.GetVoltageText(4), "50V");
    EXPECT_DOUBLE_EQ(m.GetMeanVoltage(0), 22.5);

    // The limit on another channel gives an absolute voltage: the surface
    // voltage plus the difference that brings the mean to the limit. For
    // 400 V (taken as 350 V) the mean would be (70 + 70 + 300) / 4 = 110;
    // 310 V brings it to 100.
    EXPECT_FALSE(m.SetVoltage(3, 400.0));
    EXPECT_DOUBLE_EQ(m.GetVoltage(3), 310.0);
    EXPECT_DOUBLE_EQ(m.GetMeanVoltage(0), 100.0);
    ExpectConsistent(m, 3);
}

TEST_F(MirrorTest, MeanLimitHoldsOnBothSidesOfTheSurfaceVoltage) {
    MirrorLayout layout;
    layout.actuators = 4;
    layout.surfaceIndex = 3;
    layout.limitVoltage = 100;
    MirrorClass m(WriteMirror("m.ini", layout));
    ASSERT_TRUE(m.IsValid());
    EXPECT_TRUE(m.SetVoltage(1, 150.0));
    EXPECT_TRUE(m.SetVoltage(4, 140.0)); // (10 - 140 - 140 + 0) / 4 = -67.5
    EXPECT_DOUBLE_EQ(m.GetMeanVoltage(0), 67.5);

    // Lowering actuator 1 to 0 V would give (-140 x 3) / 4 = -105: cut to
    // the voltage that gives -100.
    EXPECT_TRUE(m.SetVoltage(1, 0.0));
    EXPECT_DOUBLE_EQ(m.GetVoltage(1), 20.0);
    EXPECT_DOUBLE_EQ(m.GetMeanVoltage(0), 100.0);

    // Raising it again brings the mean back toward 0 and is not cut:
    // (160 - 140 - 140 + 0) / 4 = -30.
    EXPECT_TRUE(m.SetVoltage(1, 300.0));
    EXPECT_EQ(m.GetVoltage(1), 300.0);
    EXPECT_DOUBLE_EQ(m.GetMeanVoltage(0), 30.0);
    ExpectConsistent(m, 3);
}

TEST_F(MirrorTest, NegativeLimitAdmitsOnlyAZeroMean) {
    MirrorLayout layout;
    layout.limitVoltage = -5;
    MirrorClass m(WriteMirror("m.ini", layout));
    ASSERT_TRUE(m.IsValid());
    EXPECT_TRUE(m.SetVoltage(1, 50.0)); // cut to the present 0 V
    EXPECT_FALSE(m.SetAllChannels(400.0));
    for (int i = 1; i <= 4; ++i)
        EXPECT_EQ(m.GetVoltage(i), 0.0);
    ExpectConsistent(m, -1);
}

TEST_F(MirrorTest, ChannelsAndDisplayNumbersOutsideTheMirrorAreRefused) {
    MirrorLayout layout;
    layout.actuators = 3;
    layout.skipDisplayIndex2 = true; // display number 2 is carried by no actuator
    MirrorClass m(WriteMirror("m.ini", layout));
    ASSERT_TRUE(m.IsValid());
    struct Case {
        int displayIndex;
    } cases[] = {{-1}, {0}, {2}, {4}, {100}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.displayIndex);
        EXPECT_FALSE(m.SetVoltage(c.displayIndex, 10.0));
        EXPECT_FALSE(m.SetVoltageAndSend(c.displayIndex, 10.0));
        EXPECT_EQ(m.GetVoltage(c.displayIndex), 0.0);
        EXPECT_EQ(m.GetVoltageText(c.displayIndex), "");
    }
    for (int channel : {-1, 3, 99})
        EXPECT_FALSE(m.SetChannelVoltage(channel, 10.0, 0));
    EXPECT_FALSE(m.SetChannelVoltage(0, 10.0, 1));
    EXPECT_FALSE(m.SetChannelVoltage(0, 10.0, -1));
    // Channel 99 (from display number 100) is outside the driver, so
    // SetAllChannels reaches channel 1 only through the channel number.
    EXPECT_TRUE(m.SetAllChannels(30.0));
    // Display number 2 counts as 0 V in the mean: (30 + 0 + 30) / 3.
    EXPECT_DOUBLE_EQ(m.GetMeanVoltage(0), 20.0);
}

TEST_F(MirrorTest, ModelWithoutActuatorsIsValidWithAZeroMean) {
    MirrorLayout layout;
    layout.actuators = 0;
    MirrorClass m(WriteMirror("m.ini", layout));
    ASSERT_TRUE(m.IsValid());
    EXPECT_EQ(m.GetChannelCount(), 0);
    EXPECT_EQ(m.GetMeanVoltage(0), 0.0);
    EXPECT_FALSE(m.SetVoltage(1, 1.0));
    EXPECT_TRUE(m.SetAllChannels(1.0)); // nothing to refuse
    VoltageListClass list;
    m.ReadVoltages(list);
    EXPECT_EQ(list.Count(), 0);
}

TEST_F(MirrorTest, MapFileRenumbersTheDisplayNumbersButNotTheChannels) {
    MirrorLayout layout;
    layout.actuators = 3;
    layout.mapPrefix = "swap";
    // Actuator 1 (Index 0) is shown at position 2, actuator 3 at position 0.
    std::ofstream(root_ / "Devices" / "DMmap_swap.dat") << "1 2\n2 1\n3 0\n";
    MirrorClass m(WriteMirror("m.ini", layout));
    ASSERT_TRUE(m.IsValid());
    EXPECT_EQ(m.GetMapFileName(), m.GetInfo()->MapFileName);
    // Display number 3 is Index 0, whose channel stays 0.
    EXPECT_TRUE(m.SetVoltage(3, 40.0));
    EXPECT_EQ(m.GetDriver()->Get(0, 0), 40.0);
    EXPECT_EQ(m.GetVoltage(3), 40.0);
    EXPECT_EQ(m.GetVoltageText(3), "40V");
    EXPECT_EQ(m.GetVoltage(1), 0.0);
    EXPECT_FALSE(m.SetMapFile((root_ / "Devices" / "none.dat").string()));
    EXPECT_EQ(m.GetMapFileName(), m.GetInfo()->MapFileName);
}

// The display numbers decide which channels the mean counts. A map that
// brings a channel holding a voltage into the count re-applies the rules
// (channel by channel), so the mean never ends over the limit; a map that
// only moves counted channels around keeps every voltage.
TEST_F(MirrorTest, MapFileOnALiveMirrorReappliesTheMeanLimit) {
    MirrorLayout layout;
    layout.actuators = 4;
    layout.limitVoltage = 100;
    layout.mapPrefix = "far";
    // Actuator 1 (channel 0) is shown at display number 9: not counted.
    std::ofstream(root_ / "Devices" / "DMmap_far.dat") << "1 8\n";
    std::ofstream(root_ / "Devices" / "DMmap_plain.dat") << "1 0\n";
    std::ofstream(root_ / "Devices" / "DMmap_turn.dat") << "1 1\n2 2\n3 3\n4 0\n";
    MirrorClass m(WriteMirror("m.ini", layout));
    ASSERT_TRUE(m.IsValid());
    DriverClass* d = m.GetDriver();
    EXPECT_TRUE(m.SetChannelVoltage(0, 300.0, 0)); // not counted: mean stays 0
    EXPECT_TRUE(m.SetVoltage(2, 200.0));
    EXPECT_TRUE(m.SetVoltage(3, 200.0));
    EXPECT_DOUBLE_EQ(m.GetMeanVoltage(0), 100.0);

    // Channel 0 counts from now on: 300 V stays (first), channel 1 is cut to
    // bring the mean to the limit, channel 2 can keep nothing.
    ASSERT_TRUE(m.SetMapFile((root_ / "Devices" / "DMmap_plain.dat").string()));
    EXPECT_EQ(d->Get(0, 0), 300.0);
    EXPECT_DOUBLE_EQ(d->Get(1, 0), 100.0);
    EXPECT_EQ(d->Get(2, 0), 0.0);
    EXPECT_DOUBLE_EQ(m.GetMeanVoltage(0), 100.0);
    EXPECT_EQ(m.GetVoltageText(1), "300V");
    EXPECT_EQ(m.GetVoltageText(3), "0V");

    ASSERT_TRUE(m.SetMapFile((root_ / "Devices" / "DMmap_turn.dat").string()));
    EXPECT_EQ(d->Get(0, 0), 300.0);
    EXPECT_DOUBLE_EQ(d->Get(1, 0), 100.0);
    EXPECT_EQ(m.GetVoltage(2), 300.0); // Index 0 is display number 2 now
    EXPECT_DOUBLE_EQ(m.GetMeanVoltage(0), 100.0);
}

TEST_F(MirrorTest, ReadVoltagesFillsOrUpdatesAList) {
    MirrorClass m(WriteMirror("m.ini", MirrorLayout{}));
    ASSERT_TRUE(m.IsValid());
    m.SetVoltage(2, 20.0);
    m.SetVoltage(4, 40.0);

    VoltageListClass list;
    m.ReadVoltages(list);
    std::vector<std::pair<int, double>> got;
    for (VoltageListEntry* e = list.First(); e; e = e->next)
        got.emplace_back(e->Actuator, e->Voltage);
    EXPECT_EQ(got, (std::vector<std::pair<int, double>>{{1, 0}, {2, 20}, {3, 0}, {4, 40}}));

    // Same count: voltages in place, by the entries' own numbers and order.
    VoltageListClass same;
    for (int n : {2, 4, 1, 3}) // gives the order 1, 4, 2, 3
        same.Insert(n, -1.0);
    VoltageListEntry* front = same.First();
    m.ReadVoltages(same);
    got.clear();
    for (VoltageListEntry* e = same.First(); e; e = e->next)
        got.emplace_back(e->Actuator, e->Voltage);
    EXPECT_EQ(got, (std::vector<std::pair<int, double>>{{1, 0}, {4, 40}, {2, 20}, {3, 0}}));
    EXPECT_EQ(same.First(), front);

    // Another count: rebuilt.
    VoltageListClass other;
    other.Insert(7, 7.0);
    m.ReadVoltages(other);
    EXPECT_EQ(other.Count(), 4);
    EXPECT_EQ(other.First()->Actuator, 1);
}

TEST_F(MirrorTest, VoltageListsAndSetAllGoThroughTheRules) {
    MirrorClass m(WriteMirror("m.ini", MirrorLayout{}));
    ASSERT_TRUE(m.IsValid());
    VoltageListClass list;
    const double volts[] = {10.0, 20.0, 30.0, 40.0};
    list.SetFromArray(volts, 4);
    EXPECT_TRUE(m.ApplyVoltageList(&list, 0));
    for (int i = 1; i <= 4; ++i)
        EXPECT_EQ(m.GetVoltage(i), volts[i - 1]);
    EXPECT_FALSE(m.ApplyVoltageList(nullptr, 0));
    EXPECT_FALSE(m.ApplyVoltageList(&list, 1)); // no such bank

    // One refused entry makes the result false; the others are still set.
    list.Find(2)->Actuator = 9;
    list.Find(3)->Voltage = 60.0;
    EXPECT_FALSE(m.ApplyVoltageListAndSend(&list, 0));
    EXPECT_EQ(m.GetVoltage(3), 60.0);

    m.SetAllActuators(500.0); // each goes through the ceiling and the mean rule
    EXPECT_NEAR(m.GetMeanVoltage(0), 100.0, 1e-9);
    EXPECT_FALSE(m.SetAllChannels(400.0));
    ExpectConsistent(m, -1);

    m.ZeroAll();
    EXPECT_TRUE(m.SetAllChannels(25.0));
    EXPECT_DOUBLE_EQ(m.GetMeanVoltage(0), 25.0);
    ExpectConsistent(m, -1);
}

TEST_F(MirrorTest, SendsAreHeldButSettingStillWorks) {
    MirrorClass m(WriteMirror("m.ini", MirrorLayout{}));
    ASSERT_TRUE(m.IsValid());
    EXPECT_FALSE(m.SendBank(0));
    EXPECT_TRUE(m.SetVoltageAndSend(1, 10.0)); // true although nothing was sent
    EXPECT_TRUE(m.SetChannelAndSend(1, 20.0, 0));
    EXPECT_FALSE(m.SetChannelAndSend(1, 20.0, 3));
    EXPECT_EQ(m.GetVoltage(1), 10.0);
    EXPECT_EQ(m.GetVoltage(2), 20.0);
}

TEST_F(MirrorTest, ZeroAllTellsTheFormatterAroundTheReset) {
    std::vector<std::string> log;
    auto m = std::make_unique<MirrorClass>(WriteMirror("m.ini", MirrorLayout{}));
    ASSERT_TRUE(m->IsValid());
    m->SetVoltage(1, 80.0);
    m->SetVoltage(3, 40.0);
    m->GetDriver()->SetInterface(std::make_unique<RecordingPort>(*m, log));
    m->SetOutputHold(false);

    m->ZeroAll();
    // Channels are 0 V and sent before code 1; the mean is reset between
    // code 1 and code 2.
    EXPECT_EQ(log,
              (std::vector<std::string>{"bank 0: 0 0 0 0", "update, mean 30", "update, mean 0"}));
    ExpectConsistent(*m, -1);

    // Destruction drives every channel to 0 V again and sends it.
    m->SetVoltage(2, 60.0);
    log.clear();
    m.reset();
    ASSERT_GE(log.size(), 1u);
    EXPECT_EQ(log.front(), "bank 0: 0 0 0 0");
}

TEST_F(MirrorTest, BankCountGivesZeroedBanksWithTheirOwnMeans) {
    MirrorClass m(WriteMirror("m.ini", MirrorLayout{}));
    ASSERT_TRUE(m.IsValid());
    m.SetVoltage(1, 40.0);
    m.SetBankCount(2);
    EXPECT_EQ(m.GetBankCount(), 2);
    EXPECT_EQ(m.GetVoltage(1), 0.0);
    EXPECT_EQ(m.GetVoltageText(1), "0V");
    EXPECT_TRUE(m.SetVoltageOnBank(1, 200.0, 1));
    EXPECT_DOUBLE_EQ(m.GetMeanVoltage(1), 50.0);
    EXPECT_EQ(m.GetMeanVoltage(0), 0.0);
    EXPECT_EQ(m.GetDriver()->Get(0, 1), 200.0);
    m.SetBankCount(0);
    EXPECT_FALSE(m.SetVoltage(1, 1.0));
    m.SetBankCount(1);
    EXPECT_TRUE(m.SetVoltage(1, 1.0));
}

TEST_F(MirrorTest, LastChangeTimeFollowsRequestsThatPassTheRangeChecks) {
    MirrorClass m(WriteMirror("m.ini", MirrorLayout{}));
    ASSERT_TRUE(m.IsValid());
    EXPECT_EQ(m.GetLastChangeTime(), 0);
    EXPECT_FALSE(m.SetChannelVoltage(9, 1.0, 0));
    EXPECT_EQ(m.GetLastChangeTime(), 0);
    const std::time_t before = std::time(nullptr);
    EXPECT_FALSE(m.SetVoltage(1, 400.0)); // refused, but in range
    EXPECT_GE(m.GetLastChangeTime(), before);
}
