# Trend chart: the paging controller, the chart-engine interface it drives, the point store.
target_sources(lumetra_records PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/tchartcontrol.h ${CMAKE_CURRENT_LIST_DIR}/tchartcontrol.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tchartengine.h
    ${CMAKE_CURRENT_LIST_DIR}/tchartpoints.h ${CMAKE_CURRENT_LIST_DIR}/tchartpoints.cpp
)
