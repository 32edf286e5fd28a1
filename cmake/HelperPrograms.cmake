# vellinor_install_helper(<target>)
# Installs a helper program that the core runs as a child process (the probe tool, the packet
# reader) to libexec/vellinor, where programs belong (Debian forbids ELF files under share/,
# which is shared between architectures), and puts a relative link to it among the resources in
# share/vellinor, where the programs look for it. In the build tree the program itself sits
# there. A link or an older program of that name is replaced, never written through.
function(vellinor_install_helper target)
    set_property(GLOBAL APPEND PROPERTY VELLINOR_RUNTIME_HELPERS ${target})
    set(helper_dir ${CMAKE_INSTALL_LIBEXECDIR}/vellinor)
    set(resource_dir ${CMAKE_INSTALL_DATADIR}/vellinor)
    install(TARGETS ${target} RUNTIME DESTINATION ${helper_dir})
    file(RELATIVE_PATH link_target /${resource_dir} /${helper_dir}/${target})
    install(CODE "
        set(dir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${resource_dir}\")
        file(MAKE_DIRECTORY \"\${dir}\")
        file(REMOVE \"\${dir}/${target}\")
        file(CREATE_LINK \"${link_target}\" \"\${dir}/${target}\" SYMBOLIC)
        message(STATUS \"Installing: \${dir}/${target} -> ${link_target}\")
    ")
endfunction()

# vellinor_runs_helpers(<target>)
# A program that starts a helper at run time depends on it in the build, so building that
# program alone (`--target vellinor-cli`) leaves a tree it can run in. The helpers are those
# given to vellinor_install_helper so far; with VELLINOR_STOCK_FFPROBE the probe tool is a link
# made at configure time, and our sniffer is still built for the tests.
function(vellinor_runs_helpers target)
    get_property(helpers GLOBAL PROPERTY VELLINOR_RUNTIME_HELPERS)
    if(TARGET sniffer)
        list(APPEND helpers sniffer)
    endif()
    list(REMOVE_DUPLICATES helpers)
    if(helpers)
        add_dependencies(${target} ${helpers})
    endif()
endfunction()
