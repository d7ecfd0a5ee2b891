# Further portable files of the foundation (built natively too): one line each.
list(APPEND foundation_portable
  version_split.cpp
  xml_append.cpp
  trusted_url.cpp
  xml_reader.cpp
)
