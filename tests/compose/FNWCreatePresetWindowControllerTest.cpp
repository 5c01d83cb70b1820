#include "compose/FNWCreatePresetWindowController.h"
#include "base/FNWAlerts.h"
#include "base/FNWNotificationCenter.h"
#include "base/FNWNotifications.h"
#include "db/FNWPresetDAO.h"
#include "model/FNWPresetBean.h"

#include "FNWRecordingPresetDelegate.h"
#include "FNWTestSupport.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace {

using Controller = FNWCreatePresetWindowController;

// Every case runs on a fresh database; alerts are answered by m_answer and recorded, notices
// posted to the main window are collected.
class FNWCreatePresetWindowControllerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(fnw::test::useFreshDatabase());
        FNWAlerts::setTestResponder([this](const FNWAlertRequest& request) {
            m_alerts.push_back(request);
            return m_answer(request);
        });
        m_notices = FNWNotificationCenter::defaultCenter().addObserver(
            QString::fromLatin1(ShowWarningOnMainWindowNotification),
            [this](const FNWNotification& notification) { m_posted.push_back(notification.userInfo); });
        m_controller.setDelegate(&m_delegate);
    }

    void TearDown() override { FNWAlerts::setTestResponder({}); }

    static std::vector<std::shared_ptr<FNWPresetBean>> libraryPresets()
    {
        return FNWPresetDAO().getAllAttachedPresets(false);
    }

    // Closes what is open, then opens the form for a copy of the preset (none: a new one).
    void reopen(const std::shared_ptr<FNWPresetBean>& preset)
    {
        m_controller.cancelButtonDidClicked();
        m_controller.openWindowForPreset(preset, false);
    }

    void openNew(const QString& name)
    {
        reopen(nullptr);
        m_controller.setName(name);
    }

    // Saves and answers the refusal message, or "" when the window closed on success.
    QString save()
    {
        m_controller.saveButtonDidClicked();
        return m_controller.isWindowVisible() ? m_controller.presetNameErrorText() : QString::fromLatin1("");
    }

    std::shared_ptr<FNWPresetBean> storedPreset(const QString& name)
    {
        openNew(name);
        EXPECT_EQ(save(), QString());
        return libraryPresets().back();
    }

    Controller m_controller;
    FNWRecordingPresetDelegate m_delegate;
    std::function<int(const FNWAlertRequest&)> m_answer = [](const FNWAlertRequest&) { return 0; };
    std::vector<FNWAlertRequest> m_alerts;
    std::vector<QVariantMap> m_posted;
    FNWObserverToken m_notices;
};

TEST_F(FNWCreatePresetWindowControllerTest, limitsFollowTheModeAndTheTestType)
{
    const int D = Controller::DurationMode;
    // The fields typed as "field=text ...", then the message a save answers with.
    const struct
    {
        int type;
        int mode;
        const char* fields;
        const char* message;
    } cases[] = {
        {1, D, "buffer_length=8", ""},
        {1, D, "buffer_length=9", "Maximum allowed Buffer Length is 8KB for UDP."},
        {0, D, "buffer_length=1024", ""},
        {0, D, "buffer_length=1025", "Maximum allowed Buffer Length is 1024KB for TCP."},
        // Only a segment size the wrappers pass to iperf is taken; 0 leaves it to the system.
        {0, D, "tcp_max_segment_size=0", ""},
        {0, D, "tcp_max_segment_size=88", ""},
        {0, D, "tcp_max_segment_size=87", "TCP Max Segment Size must be between 88 and 32767 bytes."},
        {0, D, "tcp_max_segment_size=32768", "TCP Max Segment Size must be between 88 and 32767 bytes."},
        {0, D, "duration=10 time_interval=2", ""},
        {0, D, "duration=86400 time_interval=2", ""},
        {0, D, "duration=9 time_interval=2", "Test Duration must be at least 10s."},
        {0, D, "duration=86401 time_interval=2", "Maximum allowed Test Duration is 86400 seconds."},
        {0, D, "duration= time_interval=2", "Test Duration must be at least 10s."},
        {0, D, "duration=30 time_interval=30", "Test interval must be less than Test Duration."},
        {0, D, "duration=100 time_interval=60", ""},
        {0, D, "duration=100 time_interval=61", "Maximum allowed Test interval is 60 seconds."},
        {0, Controller::NumberOfBytesMode, "duration= time_interval=120", ""},
    };
    int row = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fields);
        openNew(QStringLiteral("p%1").arg(row++));
        m_controller.testTypeDidChange(c.type);
        EXPECT_EQ(m_controller.shouldEnableUIControl(), c.type == 0);
        m_controller.changeSelectionOfMatrix(c.mode);
        for (const QString& field : QString::fromLatin1(c.fields).split(u' '))
            m_controller.setFieldText(field.section(u'=', 0, 0), field.section(u'=', 1));
        EXPECT_EQ(save(), QString::fromLatin1(c.message));
    }
    EXPECT_EQ(libraryPresets().size(), 8u);
    // Opening a UDP preset disables the TCP-only controls whatever was shown before.
    reopen(libraryPresets().front());
    EXPECT_FALSE(m_controller.shouldEnableUIControl());
}

TEST_F(FNWCreatePresetWindowControllerTest, modeDecidesWhichAmountIsStored)
{
    openNew(QStringLiteral("bytes"));
    m_controller.changeSelectionOfMatrix(Controller::NumberOfBytesMode);
    EXPECT_FALSE(m_controller.isDurationFieldEnabled());
    m_controller.setFieldText(QStringLiteral("duration"), QStringLiteral("30"));
    m_controller.setFieldText(QStringLiteral("number_of_byte"), QStringLiteral("0"));
    EXPECT_EQ(save(), QStringLiteral("Invalid Number of Bytes."));
    // A refused save keeps the other mode's entry.
    EXPECT_EQ(m_controller.fieldText(QStringLiteral("duration")), QStringLiteral("30"));
    m_controller.setFieldText(QStringLiteral("number_of_byte"), QStringLiteral("250"));
    EXPECT_EQ(save(), QString());

    openNew(QStringLiteral("time"));
    m_controller.setFieldText(QStringLiteral("duration"), QStringLiteral("30"));
    EXPECT_EQ(save(), QString());

    const auto presets = libraryPresets();
    ASSERT_EQ(presets.size(), 2u);
    EXPECT_EQ(presets[0]->duration, -1);
    EXPECT_EQ(presets[0]->number_of_byte, 250);
    EXPECT_EQ(presets[1]->duration, 30);
    EXPECT_EQ(presets[1]->number_of_byte, -1);
    EXPECT_EQ(presets[1]->datagram_size, -1);

    // Opening picks the stored mode again.
    reopen(presets[0]);
    EXPECT_EQ(m_controller.getDurationOrNumberOfBytes(), Controller::NumberOfBytesMode);
    EXPECT_TRUE(m_controller.isNumberOfBytesFieldEnabled());
}

TEST_F(FNWCreatePresetWindowControllerTest, namesAreRequiredAndUniqueAmongLibraryPresets)
{
    openNew(QString::fromLatin1(""));
    m_controller.setFieldText(QStringLiteral("duration"), QStringLiteral("1"));
    EXPECT_EQ(save(), QStringLiteral("Preset name is required."));
    m_controller.setName(QStringLiteral("   "));
    m_controller.setFieldText(QStringLiteral("duration"), QStringLiteral("10"));
    EXPECT_EQ(save(), QString()) << "blank names are not trimmed";

    const auto first = storedPreset(QStringLiteral("First"));
    storedPreset(QStringLiteral("Second"));
    m_answer = [](const FNWAlertRequest&) { return 0; }; // "OK"

    reopen(first);
    EXPECT_EQ(save(), QString()) << "its own name is no duplicate";
    reopen(first);
    m_controller.setName(QStringLiteral("Second"));
    EXPECT_EQ(save(), QStringLiteral("Preset name already used, please use different name."));
    m_controller.cancelButtonDidClicked();

    // A new preset after an edit no longer carries the edited preset's name as its own.
    openNew(QStringLiteral("First"));
    EXPECT_EQ(m_controller.originalPresetName(), std::nullopt);
    EXPECT_EQ(save(), QStringLiteral("Preset name already used, please use different name."));
    openNew(QStringLiteral("first"));
    EXPECT_EQ(save(), QString()) << "names compare case-sensitively";
}

TEST_F(FNWCreatePresetWindowControllerTest, savingTellsOnceAndUpdatingAsksFirstAndLeavesTheListRecordAlone)
{
    const auto stored = storedPreset(QStringLiteral("Old"));
    ASSERT_EQ(m_delegate.added.size(), 1u);
    EXPECT_EQ(m_delegate.added[0]->ID, stored->ID);
    ASSERT_EQ(m_posted.size(), 1u);
    EXPECT_EQ(m_posted[0].value(QString::fromLatin1(kErrorKey)), QStringLiteral("Preset Saved Successfully."));
    EXPECT_EQ(m_posted[0].value(QString::fromLatin1(kTextColorKey)), QStringLiteral("green"));
    EXPECT_TRUE(m_alerts.empty());
    m_posted.clear();
    m_delegate.added.clear();

    m_controller.openWindowForPreset(stored, false);
    m_controller.setName(QStringLiteral("New"));
    m_controller.setFieldText(QStringLiteral("duration"), QStringLiteral("40"));
    m_answer = [](const FNWAlertRequest&) { return 1; }; // "Cancel"
    EXPECT_EQ(save(), QString());
    EXPECT_TRUE(m_controller.isWindowVisible());
    ASSERT_EQ(m_alerts.size(), 1u);
    EXPECT_EQ(m_alerts[0].message, QStringLiteral("Preset Update"));
    EXPECT_EQ(m_alerts[0].informativeText, QStringLiteral("Are you sure you would like to replace 'Old'?"));
    EXPECT_EQ(m_alerts[0].buttons, (QStringList{QStringLiteral("OK"), QStringLiteral("Cancel")}));
    EXPECT_EQ(stored->name, QStringLiteral("Old")) << "the form edits a copy";
    EXPECT_TRUE(m_posted.empty());

    m_answer = [](const FNWAlertRequest&) { return 0; };
    EXPECT_EQ(save(), QString());
    EXPECT_FALSE(m_controller.isWindowVisible());
    const auto presets = libraryPresets();
    ASSERT_EQ(presets.size(), 1u);
    EXPECT_EQ(presets[0]->ID, stored->ID);
    EXPECT_EQ(presets[0]->name, QStringLiteral("New"));
    EXPECT_EQ(presets[0]->duration, 40);
    ASSERT_EQ(m_delegate.added.size(), 1u);
    ASSERT_EQ(m_posted.size(), 1u);
    EXPECT_EQ(m_posted[0].value(QString::fromLatin1(kErrorKey)), QStringLiteral("Preset Updated Successfully."));
}

TEST_F(FNWCreatePresetWindowControllerTest, resetToDefaultsAsksOnlyForStoredPresets)
{
    openNew(QStringLiteral("Fresh"));
    m_controller.testTypeDidChange(1);
    m_controller.changeSelectionOfMatrix(Controller::NumberOfBytesMode);
    m_controller.setFieldText(QStringLiteral("duration"), QStringLiteral("99"));
    m_controller.setFieldValue(QStringLiteral("direction"), 1);
    m_controller.setSendBandwidthText(QStringLiteral("7"));
    m_controller.resetToDefaultsButtonDidClicked();
    EXPECT_TRUE(m_alerts.empty());
    const auto preset = m_controller.preset();
    EXPECT_EQ(preset->duration, 10);
    EXPECT_EQ(preset->direction, 0);
    EXPECT_EQ(preset->buffer_length, 8);
    EXPECT_EQ(preset->test_type, 1);
    EXPECT_EQ(preset->name, QStringLiteral("Fresh"));
    EXPECT_EQ(m_controller.getDurationOrNumberOfBytes(), Controller::NumberOfBytesMode);
    EXPECT_EQ(m_controller.sendBandwidthText(), QString());
    EXPECT_EQ(save(), QString());
    EXPECT_EQ(libraryPresets().back()->send_bw, -1) << "what the empty field shows is stored";

    reopen(libraryPresets().back());
    m_controller.setFieldText(QStringLiteral("number_of_byte"), QStringLiteral("5"));
    m_answer = [](const FNWAlertRequest&) { return 0; }; // "No"
    m_controller.resetToDefaultsButtonDidClicked();
    ASSERT_EQ(m_alerts.size(), 1u);
    EXPECT_EQ(m_alerts[0].message, QStringLiteral("Reset Preset"));
    EXPECT_EQ(m_alerts[0].informativeText, QStringLiteral("Do you really want to reset?"));
    EXPECT_EQ(m_controller.preset()->number_of_byte, 5);
    m_answer = [](const FNWAlertRequest&) { return 1; }; // "Yes"
    m_controller.resetToDefaultsButtonDidClicked();
    EXPECT_EQ(m_controller.preset()->number_of_byte, 100);
}

TEST_F(FNWCreatePresetWindowControllerTest, queueModeHandsBackTheEditedCopyWithoutStoring)
{
    auto queued = std::make_shared<FNWPresetBean>();
    queued->ID = 17;
    queued->originalID = 4;
    queued->name = QStringLiteral("Queued");
    queued->isAttachedToQueue = true;
    queued->number_of_byte = -1;

    m_controller.openWindowForPreset(queued, true);
    m_controller.setFieldText(QStringLiteral("duration"), QStringLiteral("3"));
    m_controller.setSendBandwidthText(QStringLiteral("20"));
    EXPECT_EQ(save(), QString()) << "no checks in queue mode";

    EXPECT_TRUE(libraryPresets().empty());
    EXPECT_TRUE(m_posted.empty());
    ASSERT_EQ(m_delegate.fromQueue.size(), 1u);
    const auto edited = m_delegate.fromQueue[0];
    EXPECT_NE(edited, queued);
    EXPECT_EQ(edited->ID, 17);
    EXPECT_EQ(edited->originalID, 4);
    EXPECT_TRUE(edited->isAttachedToQueue);
    EXPECT_EQ(edited->duration, 3);
    EXPECT_EQ(edited->send_bw, 20);
    EXPECT_EQ(queued->duration, 10);
}

TEST_F(FNWCreatePresetWindowControllerTest, aFailedSaveKeepsTheWindowOpenAndAnnouncesNothing)
{
    ASSERT_TRUE(fnw::test::executeSQL(QStringLiteral("drop table presets")));
    openNew(QStringLiteral("Lost"));
    m_controller.saveButtonDidClicked();
    EXPECT_TRUE(m_controller.isWindowVisible());
    ASSERT_EQ(m_alerts.size(), 1u);
    EXPECT_EQ(m_alerts[0].message, QStringLiteral("Please correct below errors before saving:"));
    EXPECT_EQ(m_alerts[0].style, FNWAlertStyle::Critical);
    EXPECT_FALSE(m_alerts[0].informativeText.isEmpty());
    EXPECT_TRUE(m_delegate.added.empty());
    EXPECT_TRUE(m_posted.empty());
    EXPECT_EQ(m_controller.preset()->name, QStringLiteral("Lost"));
}

TEST_F(FNWCreatePresetWindowControllerTest, reopeningAVisibleWindowAsksBeforeDroppingChanges)
{
    int toFront = 0;
    QObject::connect(&m_controller, &Controller::windowShouldComeToFront, [&] { ++toFront; });
    const auto other = storedPreset(QStringLiteral("Other"));
    openNew(QStringLiteral("Typed"));
    EXPECT_TRUE(m_controller.openWindowForPreset(nullptr, false)) << "the same form only comes to the front";
    EXPECT_EQ(toFront, 1);
    EXPECT_FALSE(m_controller.openWindowForPreset(other, false));
    EXPECT_EQ(toFront, 2);
    EXPECT_EQ(m_controller.preset()->name, QStringLiteral("Typed"));
    ASSERT_EQ(m_alerts.size(), 1u);
    EXPECT_EQ(m_alerts[0].informativeText,
              QStringLiteral("The changes to 'Typed' are not saved. Discard them and edit 'Other'?"));
    m_answer = [](const FNWAlertRequest&) { return 1; };
    EXPECT_TRUE(m_controller.openWindowForPreset(other, false));
    EXPECT_EQ(m_controller.preset()->ID, other->ID);
    EXPECT_FALSE(m_controller.hasUnsavedChanges());

    m_controller.setErrorClearInterval(20);
    m_controller.setName(QString());
    EXPECT_EQ(save(), QStringLiteral("Preset name is required."));
    EXPECT_TRUE(fnw::test::waitUntil([&] { return m_controller.presetNameErrorText().isEmpty(); }));
}

} // namespace
