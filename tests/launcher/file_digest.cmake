# File digests with the CryptoAPI (the country lookup's tests wait for the
# registry bookkeeping; see src/launcher/pending/get_country.cpp).
if(WIN32)
  tds_add_test(launcher_file_digest_test SOURCES file_digest_test.cpp LIBS launcher test_common)
endif()
