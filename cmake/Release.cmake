# dist/morvith-<version>.zip, flat: the two modules, readme.txt, the two guides as web
# pages with their pictures beside them, and the license. The pages are made from the
# guides in docs/ at build time, so the zip never carries a guide that differs from them.
if(TARGET morvith AND TARGET morvith_ex)
    set(release_dir ${CMAKE_BINARY_DIR}/release/morvith-${PROJECT_VERSION})
    set(release_zip ${PROJECT_SOURCE_DIR}/dist/morvith-${PROJECT_VERSION}.zip)
    set(docs ${PROJECT_SOURCE_DIR}/docs)
    set(guide_pictures morvith-window.png morvith_ex-window.png morvith_ex-preview.png morvith_ex-graph.png)

    # Notepad of Windows 7 shows UTF-8 only with a byte-order mark (the source has it) and
    # breaks lines only at CR LF.
    configure_file(${docs}/readme.txt.in ${CMAKE_BINARY_DIR}/release/readme.txt @ONLY NEWLINE_STYLE CRLF)
    configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${CMAKE_BINARY_DIR}/release/LICENSE.txt COPYONLY)
    # The modules carry the VMAF model's figures, whose license travels with them.
    configure_file(${docs}/LICENSE-VMAF-MODEL.txt ${CMAKE_BINARY_DIR}/release/LICENSE-VMAF-MODEL.txt
        COPYONLY)

    find_program(MORVITH_PANDOC pandoc)
    if(MORVITH_PANDOC)
        set(make_page ${MORVITH_PANDOC})
    else()
        # Only packing needs it: the builds and their tests go on without.
        set(make_page ${CMAKE_COMMAND} -E env pandoc-is-missing-run-scripts/setup.sh)
    endif()
    set(guide_pages "")
    foreach(language ja en)
        if(language STREQUAL "ja")
            set(page_title "Morvith 利用ガイド")
        else()
            set(page_title "Morvith user guide")
        endif()
        set(page ${CMAKE_BINARY_DIR}/release/guide.${language}.html)
        add_custom_command(
            OUTPUT ${page}
            COMMAND ${make_page}
                    --from=gfm+east_asian_line_breaks --to=html5 --standalone
                    --variable=lang:${language} --metadata=pagetitle:${page_title}
                    --lua-filter=${PROJECT_SOURCE_DIR}/cmake/md-links.lua
                    --include-in-header=${PROJECT_SOURCE_DIR}/cmake/guide-page-style.html
                    --output=${page} ${docs}/guide.${language}.md
            DEPENDS ${docs}/guide.${language}.md ${PROJECT_SOURCE_DIR}/cmake/md-links.lua
                    ${PROJECT_SOURCE_DIR}/cmake/guide-page-style.html
            COMMENT "Making the guide page guide.${language}.html"
            VERBATIM)
        list(APPEND guide_pages ${page})
    endforeach()

    set(release_files morvith.auf morvith_ex.auf readme.txt guide.ja.html guide.en.html ${guide_pictures}
        LICENSE.txt LICENSE-VMAF-MODEL.txt)
    list(TRANSFORM guide_pictures PREPEND ${docs}/ OUTPUT_VARIABLE picture_paths)
    add_custom_command(
        OUTPUT ${release_zip}
        COMMAND ${CMAKE_COMMAND} -E rm -rf ${release_dir}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${release_dir} ${PROJECT_SOURCE_DIR}/dist
        COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:morvith> $<TARGET_FILE:morvith_ex>
                ${CMAKE_BINARY_DIR}/release/readme.txt ${CMAKE_BINARY_DIR}/release/LICENSE.txt
                ${CMAKE_BINARY_DIR}/release/LICENSE-VMAF-MODEL.txt
                ${guide_pages} ${picture_paths} ${release_dir}
        COMMAND ${CMAKE_COMMAND} -E rm -f ${release_zip}
        COMMAND ${CMAKE_COMMAND} -E chdir ${release_dir} ${CMAKE_COMMAND} -E tar cf ${release_zip} --format=zip
                ${release_files}
        DEPENDS morvith morvith_ex ${guide_pages} ${picture_paths} ${docs}/readme.txt.in ${PROJECT_SOURCE_DIR}/LICENSE
                ${docs}/LICENSE-VMAF-MODEL.txt
        COMMENT "Packing ${release_zip}"
        VERBATIM)
    add_custom_target(release DEPENDS ${release_zip})
endif()
