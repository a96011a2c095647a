# cmake -DSOURCE=<build>/bundles -DDESTINATION=<tessaray.lv2>/Resources -P CopyBundles.cmake
# Copies the resource bundles the editor draws with (the kit's, the dials', the control library's and the
# editor's own) into the plug-in's bundle. Files already there with the same time stamp are skipped.
file(GLOB _bundles LIST_DIRECTORIES true "${SOURCE}/Zelto_*.bundle" "${SOURCE}/Vimbra_*.bundle"
     "${SOURCE}/Tessaray_TessarayEditor.bundle")
file(MAKE_DIRECTORY "${DESTINATION}")
foreach(_bundle IN LISTS _bundles)
  if(IS_DIRECTORY "${_bundle}")
    file(COPY "${_bundle}" DESTINATION "${DESTINATION}")
  endif()
endforeach()
