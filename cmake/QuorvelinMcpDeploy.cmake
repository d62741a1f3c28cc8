# quorvelin_mcp_deploy(<target> [INSTALL_DESTINATION <dir>] [NO_CHECK])
#
# Puts the MCP sidecar (Quorvelin::mcp) and its GUI bridge module (Quorvelin::mcp-bridge) beside
# the executable of <target>, the GUI program: after each build in the target's build folder,
# and with `cmake --install` in INSTALL_DESTINATION (default: the binary folder, bin). For a
# macOS bundle (MACOSX_BUNDLE) both go into the bundle's Contents/MacOS, at build time and at
# install time (INSTALL_DESTINATION is then the folder that receives the bundle, as given to
# install(TARGETS ... BUNDLE DESTINATION)).
#
# After each build the sidecar is checked where it landed, with the doctor's own checks
# (quorvelin-mcp-setup sidecar <path>): a folder in its place, a file that is not executable or a
# missing bridge module fails the build with the reason. NO_CHECK leaves that out.
function(quorvelin_mcp_deploy target)
    cmake_parse_arguments(PARSE_ARGV 1 DEPLOY "NO_CHECK" "INSTALL_DESTINATION" "")
    if(NOT DEPLOY_INSTALL_DESTINATION)
        include(GNUInstallDirs)
        set(DEPLOY_INSTALL_DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
    get_target_property(bundle ${target} MACOSX_BUNDLE)
    if(APPLE AND bundle)
        set(beside "$<TARGET_BUNDLE_CONTENT_DIR:${target}>/MacOS")
        set(installed "${DEPLOY_INSTALL_DESTINATION}/$<TARGET_BUNDLE_DIR_NAME:${target}>/Contents/MacOS")
    else()
        set(beside "$<TARGET_FILE_DIR:${target}>")
        set(installed "${DEPLOY_INSTALL_DESTINATION}")
    endif()
    set(check)
    if(NOT DEPLOY_NO_CHECK)
        set(check COMMAND Quorvelin::mcp-setup sidecar "${beside}/$<TARGET_FILE_NAME:Quorvelin::mcp>")
    endif()
    add_custom_command(TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:Quorvelin::mcp>
                $<TARGET_FILE:Quorvelin::mcp-bridge> "${beside}"
        ${check}
        COMMENT "Deploying the MCP sidecar beside ${target}"
        VERBATIM)
    # Built with the GUI program when they come from this project rather than from a package.
    foreach(part quorvelin-mcp quorvelin-mcp-bridge quorvelin-mcp-setup)
        if(TARGET ${part})
            add_dependencies(${target} ${part})
        endif()
    endforeach()
    install(PROGRAMS $<TARGET_FILE:Quorvelin::mcp> $<TARGET_FILE:Quorvelin::mcp-bridge>
            DESTINATION "${installed}")
endfunction()
