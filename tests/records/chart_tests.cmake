# lumetra_add_test(...) lines of the chart controller
lumetra_add_test(tst_chartcontrol SOURCES tst_chartcontrol.cpp LIBS lumetra_records)
lumetra_add_test(tst_chart SOURCES ${CMAKE_SOURCE_DIR}/tests/app/tst_chart.cpp LIBS lumetra_app)
