#pragma once

// Every key of the user settings.

// 1 selects iperf2, 0 iperf3; any other value runs iperf3 with no preset options.
inline constexpr char kiPerfVersionKey[] = "iPerf_Version";
// Whether the main window's start/stop control is offered; NO after every start.
inline constexpr char kStartStopButtonVisibilityKey[] = "StartStopButtonVisibility";
// Non-zero draws grid lines on the results graph.
inline constexpr char kShowGridLinesOnGraphKey[] = "showGridLinesOnGraph";
// Milliseconds before a tool tip shows; 50 from every start.
inline constexpr char kInitialToolTipDelayKey[] = "NSInitialToolTipDelay";
// The preferences window's top-left corner, each pane's frame (%@: the pane identifier) and
// the last selected pane.
inline constexpr char kPreferencesFrameTopLeftKey[] = "MASPreferences Frame Top Left";
inline constexpr char kPreferencesPaneFrameKeyFormat[] = "MASPreferences %@ Frame";
inline constexpr char kPreferencesSelectedViewKey[] = "MASPreferences Selected Identifier View";
