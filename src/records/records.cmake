# Record table engine, its model and recording: target_sources(lumetra_records PRIVATE ...)
