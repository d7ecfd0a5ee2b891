# Further portable files of the foundation (built natively too): one line each.
list(APPEND foundation_portable
  xml_reader.cpp
  version_split.cpp
  xml_append.cpp
  trusted_url.cpp
  version.cpp
  tolva_version.cpp
  ipc/assertion.cpp
  progress/progress.cpp
)
