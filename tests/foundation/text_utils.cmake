# Version splitting, XML element appending and the trusted-address rule:
# portable, so they run under Wine and natively under the sanitizers.
tds_add_test(foundation_text_utils_test
             SOURCES version_split_test.cpp xml_append_test.cpp trusted_url_test.cpp
             LIBS foundation)
