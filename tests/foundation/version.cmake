# Version texts: portable, so under Wine and natively.
tds_add_test(foundation_version_test SOURCES version_test.cpp LIBS foundation)
