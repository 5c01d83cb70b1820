-- Fenwave schema, version 1. Column names are the record field names, letter case included.
-- schema_migrations is not created here: the migration manager makes it before running this file.
-- IF NOT EXISTS lets a file that already has the tables, but lost its bookkeeping, be brought up to date.

CREATE TABLE IF NOT EXISTS presets (
    id INTEGER PRIMARY KEY,
    name TEXT,
    duration INTEGER,
    test_type INTEGER,
    number_of_byte INTEGER,
    datagram_size INTEGER,
    send_bw INTEGER,
    data_format INTEGER,
    buffer_length INTEGER,
    tcp_window_size INTEGER,
    tcp_max_segment_size INTEGER,
    no_tcp_delay INTEGER,
    preset_type TEXT,
    agent_id INTEGER,
    isAttachedToQueue INTEGER,
    time_interval INTEGER,
    viewPosition INTEGER,
    direction INTEGER
);

CREATE TABLE IF NOT EXISTS agents (
    id INTEGER PRIMARY KEY,
    ip_address TEXT,
    port_number INTEGER,
    agent_name TEXT,
    addedManually INTEGER,
    isAttachedToQueue INTEGER,
    viewPosition INTEGER,
    lastSeen REAL
);

CREATE TABLE IF NOT EXISTS test_profiles (
    id INTEGER PRIMARY KEY,
    testProfileName TEXT,
    viewPosition INTEGER,
    isDeleted INTEGER
);

CREATE TABLE IF NOT EXISTS test (
    id INTEGER PRIMARY KEY,
    testName TEXT,
    preset_id INTEGER,
    agent_id INTEGER,
    testOrder INTEGER,
    testQueueID INTEGER,
    created_date REAL,
    sourceIPAddress TEXT
);

CREATE TABLE IF NOT EXISTS test_profile_execution (
    id INTEGER PRIMARY KEY,
    profile_name TEXT,
    execution_date REAL,
    test_profile_id INTEGER
);

CREATE TABLE IF NOT EXISTS test_execution_details (
    id INTEGER PRIMARY KEY,
    testBean_id INTEGER,
    testProfile_id INTEGER,
    execution_date REAL,
    averageSpeed INTEGER,
    dataTransfered INTEGER,
    ssid TEXT,
    bssid TEXT,
    executionStatus INTEGER,
    test_profile_execution_id INTEGER,
    message TEXT,
    targetSsid TEXT,
    targetBssid TEXT,
    iperfVersion INTEGER,
    execution_duration INTEGER
);

CREATE TABLE IF NOT EXISTS test_results (
    id INTEGER PRIMARY KEY,
    test_id INTEGER,
    start_time TEXT,
    end_time TEXT,
    speed REAL,
    data_transfered REAL,
    execution_id INTEGER,
    jitter TEXT,
    datagrams TEXT
);
