# dist/morvith-<version>.zip: the two modules, the user guides and the license, flat.
if(TARGET morvith AND TARGET morvith_ex)
    set(release_dir ${CMAKE_BINARY_DIR}/release/morvith-${PROJECT_VERSION})
    set(release_zip ${PROJECT_SOURCE_DIR}/dist/morvith-${PROJECT_VERSION}.zip)
    set(release_docs
        ${PROJECT_SOURCE_DIR}/docs/guide.ja.md
        ${PROJECT_SOURCE_DIR}/docs/guide.en.md
        ${PROJECT_SOURCE_DIR}/LICENSE)
    add_custom_command(
        OUTPUT ${release_zip}
        COMMAND ${CMAKE_COMMAND} -E rm -rf ${release_dir}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${release_dir} ${PROJECT_SOURCE_DIR}/dist
        COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:morvith> $<TARGET_FILE:morvith_ex> ${release_docs} ${release_dir}
        COMMAND ${CMAKE_COMMAND} -E rm -f ${release_zip}
        COMMAND ${CMAKE_COMMAND} -E chdir ${release_dir} ${CMAKE_COMMAND} -E tar cf ${release_zip} --format=zip
                morvith.auf morvith_ex.auf guide.ja.md guide.en.md LICENSE
        DEPENDS morvith morvith_ex ${release_docs}
        COMMENT "Packing ${release_zip}"
        VERBATIM)
    add_custom_target(release DEPENDS ${release_zip})
endif()
