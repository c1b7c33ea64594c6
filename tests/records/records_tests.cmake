# lumetra_add_test(...) lines of the record table and recording
