-- Indexes for the history: a profile run's finished tests, a run's results (also what deleting a
-- run removes), and a profile's tests counted per agent. Each lookup was a scan of its table.
CREATE INDEX IF NOT EXISTS test_execution_details_by_profile_run
    ON test_execution_details (test_profile_execution_id, executionStatus);
CREATE INDEX IF NOT EXISTS test_results_by_execution ON test_results (execution_id);
CREATE INDEX IF NOT EXISTS test_by_profile_agent ON test (testQueueID, agent_id);
