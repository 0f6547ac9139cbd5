# The monitor's page, embedded in the tool at build time: index.html with the
# scripts and style sheets it names put inline, the plotting library (uPlot,
# kept in third_party/uplot with its licence) among them. Nothing is fetched,
# at build time or at run time, and nothing is installed beside the tool.
set(ZORENC_WEB_DIR ${CMAKE_CURRENT_LIST_DIR})
set(ZORENC_WEB_LIB ${ZORENC_WEB_DIR}/third_party/uplot)
set(ZORENC_WEB_BIN ${CMAKE_CURRENT_BINARY_DIR}/web)
file(MAKE_DIRECTORY ${ZORENC_WEB_BIN})

file(GLOB ZORENC_WEB_FILES CONFIGURE_DEPENDS ${ZORENC_WEB_DIR}/*.html ${ZORENC_WEB_DIR}/*.js
    ${ZORENC_WEB_DIR}/*.css ${ZORENC_WEB_LIB}/*)
set(ZORENC_PAGE_HEADER ${ZORENC_WEB_BIN}/monitor_page_data.h)
add_custom_command(OUTPUT ${ZORENC_PAGE_HEADER}
    COMMAND ${CMAKE_COMMAND} -DINDEX=${ZORENC_WEB_DIR}/index.html -DWEB_DIR=${ZORENC_WEB_DIR}
            -DLIB_DIR=${ZORENC_WEB_LIB} -DOUTPUT=${ZORENC_PAGE_HEADER}
            -P ${ZORENC_WEB_DIR}/embed.cmake
    DEPENDS ${ZORENC_WEB_FILES} ${ZORENC_WEB_DIR}/embed.cmake
    COMMENT "Embedding the monitor's page"
    VERBATIM)
target_sources(zorenc_monitor PRIVATE ${ZORENC_PAGE_HEADER})
target_include_directories(zorenc_monitor PRIVATE ${ZORENC_WEB_BIN})
