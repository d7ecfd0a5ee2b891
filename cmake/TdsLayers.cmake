# Each library of src/ publishes an include root of its own that holds only
# its own folder. A library sees the roots of the libraries it links and no
# others, so an include that runs against the layer order in src/README.md
# (a lower library reaching up, or a library using one it does not link)
# does not compile.
#
#   tds_publish_headers(<target> <folder>)   folder relative to src/, e.g.
#                                            "foundation" or "scrub_ui"
function(tds_publish_headers target folder)
  set(root ${CMAKE_BINARY_DIR}/include-roots/${target})
  get_filename_component(parent ${root}/${folder} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  file(CREATE_LINK ${CMAKE_SOURCE_DIR}/src/${folder} ${root}/${folder} SYMBOLIC)
  target_include_directories(${target} PUBLIC ${root})
endfunction()
