#include "FNWHomeFixture.h"

namespace {

using PresetsListViewTest = FNWHomeFixture;

// The library presets in list order; with `numbered`, each is checked to hold its place 1..n.
std::vector<QString> storedNames(bool numbered = true)
{
    std::vector<QString> names;
    qint64 position = 0;
    for (const auto& preset : FNWPresetDAO().getAllAttachedPresets(false)) {
        if (numbered) {
            EXPECT_EQ(preset->viewPosition, ++position) << preset->name.toStdString();
        }
        names.push_back(preset->name);
    }
    return names;
}

TEST_F(PresetsListViewTest, PositionsStayOneToNAndTheSelectionFollows)
{
    addPreset(QStringLiteral("A"));
    presets.setUpView();
    EXPECT_FALSE(presets.acceptDropOfRows(QStringLiteral("0"), 1)) << "a list of one has nothing to reorder";
    addPreset(QStringLiteral("B"));
    addPreset(QStringLiteral("C"));
    EXPECT_EQ(storedNames(), (std::vector<QString>{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")}));
    ASSERT_EQ(agents.selectedPreset()->name, QStringLiteral("A"));

    presets.enableEditModeButtonDidClicked(true);
    EXPECT_FALSE(presets.acceptDropOfRows(QStringLiteral("1"), 1));
    ASSERT_TRUE(presets.acceptDropOfRows(QStringLiteral("0"), 3));
    EXPECT_EQ(storedNames(), (std::vector<QString>{QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("A")}));
    ASSERT_TRUE(presets.acceptDropOfRows(QStringLiteral("2,0"), 1));
    EXPECT_EQ(storedNames(), (std::vector<QString>{QStringLiteral("B"), QStringLiteral("A"), QStringLiteral("C")}));

    presets.enableEditModeButtonDidClicked(false);
    EXPECT_EQ(presets.selectedRow(), 1);
    EXPECT_EQ(presets.selectedPreset()->name, QStringLiteral("A"));
    EXPECT_EQ(agents.selectedPreset()->name, QStringLiteral("A"));
}

TEST_F(PresetsListViewTest, DeletingSeveralTakesEachWithItsTestsAndEndsEditModeWhenEmpty)
{
    for (const char* name : {"A", "B", "C", "D"})
        addPreset(QString::fromLatin1(name));
    presets.setUpView();
    addAgent(QStringLiteral("127.0.0.1"));
    for (int row = 0; row < 4; ++row) {
        presets.selectRow(row);
        agents.tableViewDidClickedRow(0);
    }
    ASSERT_EQ(queue.testList().size(), 4u);

    // Every selected row goes, each with the tests made from it.
    presets.enableEditModeButtonDidClicked(true);
    presets.removePresetAtIndexes({0, 2});
    EXPECT_EQ(storedNames(false), (std::vector<QString>{QStringLiteral("B"), QStringLiteral("D")}));
    ASSERT_EQ(queue.testList().size(), 2u);
    EXPECT_EQ(queue.testList()[0]->testName, QStringLiteral("127.0.0.1 - B"));
    EXPECT_EQ(agents.clickedCount(agents.agentsBeans()[0]->ID), 2);
    EXPECT_TRUE(presets.isEditing());

    // The trash asks before deleting all, and toggles edit mode either way.
    answer = 0;
    presets.trashButtonDidClicked();
    EXPECT_EQ(presets.presetsArray().size(), 2u);
    EXPECT_FALSE(presets.isEditing());
    EXPECT_EQ(alerts.back().informativeText, QStringLiteral("Are you sure you want to delete all presets?"));
    presets.enableEditModeButtonDidClicked(true);
    presets.didReceivedDraggedItems({QStringLiteral("1,0")});
    EXPECT_TRUE(presets.presetsArray().empty());
    EXPECT_TRUE(queue.testList().empty());
    EXPECT_FALSE(presets.isEditing());
    EXPECT_TRUE(storedNames().empty());

    // A new preset in an empty list takes the first place.
    addPreset(QStringLiteral("Fresh"));
    EXPECT_EQ(storedNames(), (std::vector<QString>{QStringLiteral("Fresh")}));
}

} // namespace
