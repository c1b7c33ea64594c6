# Record table engine, its model and recording: target_sources(lumetra_records PRIVATE ...)
target_sources(lumetra_records PRIVATE
    ttextpool.h ttextpool.cpp
    trecordtable.h trecordtable.cpp
    trecordmodel.h trecordmodel.cpp
    trecording.h trecording.cpp
    tlongtimer.h tlongtimer.cpp
)
