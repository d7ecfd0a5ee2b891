# The XML reader is portable: its tests run under Wine and natively under the
# sanitizers.
tds_add_test(xml_reader_test SOURCES xml_reader_test.cpp LIBS foundation)
