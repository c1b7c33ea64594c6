# Trend chart controller and its point store: target_sources(lumetra_records PRIVATE ...)
