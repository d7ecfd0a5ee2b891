# The launchers' resources in every UI language: string tables, dialogs, and
# the two launcher programs that carry them.
if(WIN32 AND TARGET kessa-setup AND TARGET vindel-setup)
  tds_add_test(launcher_ui_languages_test SOURCES ui_languages_test.cpp
               LIBS launcher comctl32
               DEPENDS kessa-setup vindel-setup)
endif()
