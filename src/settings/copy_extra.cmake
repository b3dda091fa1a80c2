# Copies the shipped extra/ folder into the program folder. The preferences file there
# belongs to whoever runs the program from the build tree: it is copied only when missing,
# so a rebuild never throws away the settings saved by the last run.
file(GLOB_RECURSE files RELATIVE ${SOURCE} ${SOURCE}/*)
foreach(relative IN LISTS files)
  set(target ${DESTINATION}/${relative})
  if(relative STREQUAL "prefs.prf" AND EXISTS ${target})
    continue()
  endif()
  get_filename_component(target_folder ${target} DIRECTORY)
  file(MAKE_DIRECTORY ${target_folder})
  file(COPY_FILE ${SOURCE}/${relative} ${target} ONLY_IF_DIFFERENT)
endforeach()
