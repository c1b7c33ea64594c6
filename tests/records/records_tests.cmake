# lumetra_add_test(...) lines of the record table and recording
lumetra_add_test(tst_recordtable SOURCES tst_recordtable.cpp LIBS lumetra_records)
lumetra_add_test(tst_recordrules SOURCES tst_recordrules.cpp LIBS lumetra_records)
lumetra_add_test(tst_longtimer SOURCES tst_longtimer.cpp LIBS lumetra_records)
lumetra_add_test(tst_recording SOURCES ${CMAKE_SOURCE_DIR}/tests/app/tst_recording.cpp
                 LIBS lumetra_app)
# The same recording under a Finnish locale, whose clock reads 9.05.07 and whose readings
# carry a decimal comma.
add_test(NAME tst_recording_fi COMMAND tst_recording)
set_tests_properties(tst_recording_fi PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=fi_FI.UTF-8;LANG=fi_FI.UTF-8")
