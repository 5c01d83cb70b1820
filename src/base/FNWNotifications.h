#pragma once

// Every notification name and user-info key of the application.

// "Error": message text; optional "TextColor".
inline constexpr char ShowWarningOnMainWindowNotification[] = "ShowWarningOnMainWindowNotification";
inline constexpr char AllTestProfileExecutionDidFinishedNotification[] =
    "AllTestProfileExecutionDidFinishedNotification";
inline constexpr char TestProfileExecutionDidFinishedNotification[] = "TestProfileExecutionDidFinishedNotification";
inline constexpr char TestProfileExecutionDidFailedNotification[] = "TestProfileExecutionDidFailedNotification";
// "test_profile_id"
inline constexpr char RerunTestProfileNotification[] = "RerunTestProfileNotification";
// "ids_to_delete": a list of maps, each {"test_profile_execution_id": id text}
inline constexpr char DeleteOneTestProfileNotification[] = "DeleteOneTestProfileNotification";
// "test_profile_execution_id"
inline constexpr char didDeleteSingleTestProfileNotification[] = "didDeleteSingleTestProfileNotification";
// "test_profile_execution_id"
inline constexpr char exportIntervalResultsNotification[] = "exportIntervalResultsNotification";
// "test_profile_execution_id"
inline constexpr char exportSummeryViewIndividualSummeryResultsNotification[] =
    "exportSummeryViewIndividualSummeryResultsNotification";
inline constexpr char exportIndividualSummeryResultsNotification[] = "exportIndividualSummeryResultsNotification";
inline constexpr char ShowWindowToCreateNewTestProfileNotification[] = "ShowWindowToCreateNewTestProfileNotification";
inline constexpr char DidCreatedNewTestProfileFromNewWindow[] = "DidCreatedNewTestProfileFromNewWindow";
inline constexpr char MASPreferencesWindowControllerDidCloseNotification[] =
    "MASPreferencesWindowControllerDidCloseNotification";
inline constexpr char MASPreferencesWindowControllerDidChangeViewNotification[] =
    "MASPreferencesWindowControllerDidChangeViewNotification";
// Posted by FNWUtils::setUserSetting after every write; "key": the setting's key.
inline constexpr char FNWUserSettingDidChangeNotification[] = "FNWUserSettingDidChangeNotification";
inline constexpr char kSettingKeyKey[] = "key";
// Posted when the application is about to quit; the logs are flushed on it.
// The database: a change of the window's that met another program's write lock and was not saved
// (userInfo "path"); changes kept to be written once the lock goes, and all of them written.
inline constexpr char FNWDatabaseWriteFailedNotification[] = "FNWDatabaseWriteFailedNotification";
inline constexpr char FNWDatabaseWritesWaitingNotification[] = "FNWDatabaseWritesWaitingNotification";
inline constexpr char FNWDatabaseWritesSavedNotification[] = "FNWDatabaseWritesSavedNotification";
inline constexpr char NSApplicationWillTerminateNotification[] = "NSApplicationWillTerminateNotification";

// User-info keys.
inline constexpr char kTestProfileIdKey[] = "test_profile_id";
inline constexpr char kTestProfileExecutionIdKey[] = "test_profile_execution_id";
inline constexpr char kIdsToDeleteKey[] = "ids_to_delete";
inline constexpr char kErrorKey[] = "Error";
inline constexpr char kTextColorKey[] = "TextColor";
