# lumetra_add_test(...) lines of the chart controller
