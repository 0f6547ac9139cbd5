# The monitor's page, embedded in the tool at build time: index.html with the
# scripts and style sheets it names put inline, the plotting library (uPlot)
# among them, taken from npm as package-lock.json pins it. Nothing is fetched
# at run time and nothing is installed beside the tool.
#
# npm keeps its cache in this build tree; once filled, `npm ci` runs offline.
find_program(ZORENC_NPM npm NO_CMAKE_FIND_ROOT_PATH)
if(NOT ZORENC_NPM)
    message(FATAL_ERROR "npm not found (the monitor's page needs it): run scripts/setup.sh")
endif()
set(ZORENC_WEB_DIR ${CMAKE_CURRENT_LIST_DIR})
set(ZORENC_WEB_BIN ${CMAKE_CURRENT_BINARY_DIR}/web)
file(MAKE_DIRECTORY ${ZORENC_WEB_BIN})
set(ZORENC_UPLOT ${ZORENC_WEB_BIN}/node_modules/uplot/dist/uPlot.iife.min.js)
add_custom_command(OUTPUT ${ZORENC_UPLOT}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${ZORENC_WEB_DIR}/package.json
            ${ZORENC_WEB_DIR}/package-lock.json ${ZORENC_WEB_BIN}
    COMMAND ${ZORENC_NPM} ci --prefer-offline --no-audit --no-fund --loglevel=error
            --cache ${PROJECT_BINARY_DIR}/npm-cache
    COMMAND ${CMAKE_COMMAND} -E touch ${ZORENC_UPLOT}
    WORKING_DIRECTORY ${ZORENC_WEB_BIN}
    DEPENDS ${ZORENC_WEB_DIR}/package.json ${ZORENC_WEB_DIR}/package-lock.json
    COMMENT "npm ci: the plotting library of the monitor's page"
    VERBATIM)

file(GLOB ZORENC_WEB_FILES CONFIGURE_DEPENDS ${ZORENC_WEB_DIR}/*.html ${ZORENC_WEB_DIR}/*.js
    ${ZORENC_WEB_DIR}/*.css)
set(ZORENC_PAGE_HEADER ${ZORENC_WEB_BIN}/monitor_page_data.h)
add_custom_command(OUTPUT ${ZORENC_PAGE_HEADER}
    COMMAND ${CMAKE_COMMAND} -DINDEX=${ZORENC_WEB_DIR}/index.html -DWEB_DIR=${ZORENC_WEB_DIR}
            -DLIB_DIR=${ZORENC_WEB_BIN}/node_modules/uplot/dist -DOUTPUT=${ZORENC_PAGE_HEADER}
            -P ${ZORENC_WEB_DIR}/embed.cmake
    DEPENDS ${ZORENC_WEB_FILES} ${ZORENC_UPLOT} ${ZORENC_WEB_DIR}/embed.cmake
    COMMENT "Embedding the monitor's page"
    VERBATIM)
target_sources(zorenc_monitor PRIVATE ${ZORENC_PAGE_HEADER})
target_include_directories(zorenc_monitor PRIVATE ${ZORENC_WEB_BIN})
