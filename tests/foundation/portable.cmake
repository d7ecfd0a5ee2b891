# Tests of the portable foundation code: under Wine and natively.
tds_add_test(foundation_portable_test SOURCES tstrings_test.cpp tds_error_test.cpp file_paths_test.cpp
             LIBS foundation)
