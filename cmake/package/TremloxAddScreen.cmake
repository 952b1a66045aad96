# tremlox_add_screen(<target> <name> <file>)
#
# Converts <file> with tremlox at build time and compiles it into <target> as
#
#   const char <name>[];         the bytes of the file, then one closing 0
#   const size_t <name>_size;    the number of bytes of the file
#
# and generates the header <name>.h, on the target's include path, that
# declares both for C and for C++. A relative <file> is taken from the current
# source folder. The target must be defined in the calling folder, and the
# C language must be enabled. <name> is a C identifier that begins with a
# letter, and neither a keyword, nor a name of the C standard library, nor
# that of a standard header.
#
# When cross-compiling, a tremlox built here runs on the target only: the
# screens are then converted by the host tool named in TREMLOX_EXECUTABLE, or
# found on the PATH. Setting TREMLOX_EXECUTABLE always uses that tool.

include_guard(GLOBAL)

function(_tremlox_check_name name)
    # Keywords of C and C++ pass as identifiers but cannot name an array. Names
    # that begin with an underscore are reserved for the implementation.
    set(reserved_words
        alignas alignof and and_eq asm auto bitand bitor bool break case catch char char8_t
        char16_t char32_t class co_await co_return co_yield compl concept const const_cast
        consteval constexpr constinit continue decltype default delete do double dynamic_cast
        else enum explicit export extern false float for friend goto if inline int long mutable
        namespace new noexcept not not_eq nullptr operator or or_eq private protected public
        register reinterpret_cast requires restrict return short signed sizeof static
        static_assert static_cast struct switch template this thread_local throw true try
        typedef typeid typename typeof typeof_unqual union unsigned using virtual void volatile
        wchar_t while xor xor_eq)

    # The header folder is searched before the system's: a screen named after a
    # standard header would hide it, our own <stddef.h> included.
    set(standard_headers
        assert complex ctype errno fenv float inttypes iso646 limits locale math setjmp signal
        stdalign stdarg stdatomic stdbit stdbool stdckdint stddef stdint stdio stdlib
        stdnoreturn string tgmath threads time uchar wchar wctype)

    # The C standard library's functions and objects: an array of one of
    # these names takes the place of the library's own in the whole program,
    # so a call of exit() or a use of stdin reaches the screen's bytes and
    # crashes. By header, as C17 declares them; setjmp and the generic
    # functions of <stdatomic.h> may be macros or functions.
    set(library_names
        # <complex.h>
        cabs cabsf cabsl cacos cacosf cacosh cacoshf cacoshl cacosl carg cargf cargl casin
        casinf casinh casinhf casinhl casinl catan catanf catanh catanhf catanhl catanl ccos
        ccosf ccosh ccoshf ccoshl ccosl cexp cexpf cexpl cimag cimagf cimagl clog clogf clogl
        conj conjf conjl cpow cpowf cpowl cproj cprojf cprojl creal crealf creall csin csinf
        csinh csinhf csinhl csinl csqrt csqrtf csqrtl ctan ctanf ctanh ctanhf ctanhl ctanl
        # <ctype.h>
        isalnum isalpha isblank iscntrl isdigit isgraph islower isprint ispunct isspace isupper
        isxdigit tolower toupper
        # <errno.h>
        errno
        # <fenv.h>
        feclearexcept fegetenv fegetexceptflag fegetround feholdexcept feraiseexcept fesetenv
        fesetexceptflag fesetround fetestexcept feupdateenv
        # <inttypes.h>
        imaxabs imaxdiv strtoimax strtoumax wcstoimax wcstoumax
        # <locale.h>
        localeconv setlocale
        # <math.h>
        acos acosf acosh acoshf acoshl acosl asin asinf asinh asinhf asinhl asinl atan atan2
        atan2f atan2l atanf atanh atanhf atanhl atanl cbrt cbrtf cbrtl ceil ceilf ceill copysign
        copysignf copysignl cos cosf cosh coshf coshl cosl erf erfc erfcf erfcl erff erfl exp
        exp2 exp2f exp2l expf expl expm1 expm1f expm1l fabs fabsf fabsl fdim fdimf fdiml floor
        floorf floorl fma fmaf fmal fmax fmaxf fmaxl fmin fminf fminl fmod fmodf fmodl frexp
        frexpf frexpl hypot hypotf hypotl ilogb ilogbf ilogbl ldexp ldexpf ldexpl lgamma lgammaf
        lgammal llrint llrintf llrintl llround llroundf llroundl log log10 log10f log10l log1p
        log1pf log1pl log2 log2f log2l logb logbf logbl logf logl lrint lrintf lrintl lround
        lroundf lroundl modf modff modfl nan nanf nanl nearbyint nearbyintf nearbyintl nextafter
        nextafterf nextafterl nexttoward nexttowardf nexttowardl pow powf powl remainder
        remainderf remainderl remquo remquof remquol rint rintf rintl round roundf roundl scalbln
        scalblnf scalblnl scalbn scalbnf scalbnl sin sinf sinh sinhf sinhl sinl sqrt sqrtf sqrtl
        tan tanf tanh tanhf tanhl tanl tgamma tgammaf tgammal trunc truncf truncl
        # <setjmp.h>
        longjmp setjmp
        # <signal.h>
        raise signal
        # <stdatomic.h>
        atomic_compare_exchange_strong atomic_compare_exchange_strong_explicit
        atomic_compare_exchange_weak atomic_compare_exchange_weak_explicit atomic_exchange
        atomic_exchange_explicit atomic_fetch_add atomic_fetch_add_explicit atomic_fetch_and
        atomic_fetch_and_explicit atomic_fetch_or atomic_fetch_or_explicit atomic_fetch_sub
        atomic_fetch_sub_explicit atomic_fetch_xor atomic_fetch_xor_explicit atomic_flag_clear
        atomic_flag_clear_explicit atomic_flag_test_and_set atomic_flag_test_and_set_explicit
        atomic_init atomic_is_lock_free atomic_load atomic_load_explicit atomic_signal_fence
        atomic_store atomic_store_explicit atomic_thread_fence kill_dependency
        # <stdio.h>, with gets, which C11 removed but C libraries still carry
        clearerr fclose feof ferror fflush fgetc fgetpos fgets fopen fprintf fputc fputs fread
        freopen fscanf fseek fsetpos ftell fwrite getc getchar gets perror printf putc putchar
        puts remove rename rewind scanf setbuf setvbuf snprintf sprintf sscanf stderr stdin
        stdout tmpfile tmpnam ungetc vfprintf vfscanf vprintf vscanf vsnprintf vsprintf vsscanf
        # <stdlib.h>
        abort abs aligned_alloc at_quick_exit atexit atof atoi atol atoll bsearch calloc div
        exit free getenv labs ldiv llabs lldiv malloc mblen mbstowcs mbtowc qsort quick_exit
        rand realloc srand strtod strtof strtol strtold strtoll strtoul strtoull system wcstombs
        wctomb
        # <string.h>
        memchr memcmp memcpy memmove memset strcat strchr strcmp strcoll strcpy strcspn strerror
        strlen strncat strncmp strncpy strpbrk strrchr strspn strstr strtok strxfrm
        # <threads.h>
        call_once cnd_broadcast cnd_destroy cnd_init cnd_signal cnd_timedwait cnd_wait
        mtx_destroy mtx_init mtx_lock mtx_timedlock mtx_trylock mtx_unlock thrd_create
        thrd_current thrd_detach thrd_equal thrd_exit thrd_join thrd_sleep thrd_yield tss_create
        tss_delete tss_get tss_set
        # <time.h>
        asctime clock ctime difftime gmtime localtime mktime strftime time timespec_get
        # <uchar.h>
        c16rtomb c32rtomb mbrtoc16 mbrtoc32
        # <wchar.h>
        btowc fgetwc fgetws fputwc fputws fwide fwprintf fwscanf getwc getwchar mbrlen mbrtowc
        mbsinit mbsrtowcs putwc putwchar swprintf swscanf ungetwc vfwprintf vfwscanf vswprintf
        vswscanf vwprintf vwscanf wcrtomb wcscat wcschr wcscmp wcscoll wcscpy wcscspn wcsftime
        wcslen wcsncat wcsncmp wcsncpy wcspbrk wcsrchr wcsrtombs wcsspn wcsstr wcstod wcstof
        wcstok wcstol wcstold wcstoll wcstoul wcstoull wcsxfrm wctob wmemchr wmemcmp wmemcpy
        wmemmove wmemset wprintf wscanf
        # <wctype.h>
        iswalnum iswalpha iswblank iswcntrl iswctype iswdigit iswgraph iswlower iswprint
        iswpunct iswspace iswupper iswxdigit towctrans towlower towupper wctrans wctype)

    if(NOT name MATCHES "^[A-Za-z][A-Za-z0-9_]*$")
        message(FATAL_ERROR
            "tremlox_add_screen: the name \"${name}\" is not a valid C identifier: use "
            "letters, digits and underscores, beginning with a letter.")
    endif()
    if(name IN_LIST reserved_words)
        message(FATAL_ERROR
            "tremlox_add_screen: the name \"${name}\" is a keyword of C or C++.")
    endif()
    if(name IN_LIST library_names)
        message(FATAL_ERROR
            "tremlox_add_screen: the name \"${name}\" is taken by the C standard library: "
            "an array of that name would replace the library's own ${name} in the whole "
            "program, which then crashes or misbehaves where it uses ${name}. Give the "
            "screen another name, such as ${name}_screen.")
    endif()
    if(name IN_LIST standard_headers)
        message(FATAL_ERROR
            "tremlox_add_screen: the name \"${name}\" would make the header ${name}.h hide "
            "the standard header <${name}.h>.")
    endif()
endfunction()

function(_tremlox_check_target target)
    if(NOT TARGET "${target}")
        message(FATAL_ERROR "tremlox_add_screen: there is no target \"${target}\".")
    endif()
    get_target_property(aliased "${target}" ALIASED_TARGET)
    get_target_property(imported "${target}" IMPORTED)
    get_target_property(type "${target}" TYPE)
    set(compiled_types EXECUTABLE STATIC_LIBRARY SHARED_LIBRARY MODULE_LIBRARY OBJECT_LIBRARY)
    if(aliased OR imported OR NOT type IN_LIST compiled_types)
        message(FATAL_ERROR
            "tremlox_add_screen: \"${target}\" is not an executable or library built here, "
            "so no screen can be compiled into it.")
    endif()
    # A custom command's output is only built for targets of its own folder.
    get_target_property(target_folder "${target}" SOURCE_DIR)
    if(NOT target_folder STREQUAL CMAKE_CURRENT_SOURCE_DIR)
        message(FATAL_ERROR
            "tremlox_add_screen: call it in ${target_folder}, where the target \"${target}\" "
            "is defined.")
    endif()
endfunction()

# Sets <command_var> to the tremlox to run and <depends_var> to what the
# conversion depends on, so that a new tool converts every screen again.
function(_tremlox_tool command_var depends_var)
    # A project that builds tremlox for the target and can run target
    # programs (Wine, qemu) converts with the tremlox it builds.
    if(NOT TREMLOX_EXECUTABLE AND CMAKE_CROSSCOMPILING AND CMAKE_CROSSCOMPILING_EMULATOR
       AND TARGET tremlox::tremlox)
        get_target_property(imported tremlox::tremlox IMPORTED)
        if(NOT imported)
            set(${command_var} ${CMAKE_CROSSCOMPILING_EMULATOR} "$<TARGET_FILE:tremlox::tremlox>"
                PARENT_SCOPE)
            set(${depends_var} tremlox::tremlox PARENT_SCOPE)
            return()
        endif()
    endif()
    if(NOT TREMLOX_EXECUTABLE AND CMAKE_CROSSCOMPILING)
        find_program(TREMLOX_EXECUTABLE tremlox
            PATHS ENV PATH NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH
            DOC "A tremlox that runs on the build machine, to convert screens with")
        if(NOT TREMLOX_EXECUTABLE)
            message(FATAL_ERROR
                "tremlox_add_screen: this build cross-compiles, so a tremlox built for the "
                "target cannot run here, and there is no tremlox on the PATH. Install "
                "tremlox on the build machine or set TREMLOX_EXECUTABLE to one.")
        endif()
        get_property(announced GLOBAL PROPERTY _tremlox_host_tool_announced)
        if(NOT announced)
            message(STATUS "tremlox_add_screen: cross-compiling, converting screens with "
                "${TREMLOX_EXECUTABLE}")
            set_property(GLOBAL PROPERTY _tremlox_host_tool_announced TRUE)
        endif()
    endif()

    if(TREMLOX_EXECUTABLE)
        if(NOT IS_ABSOLUTE "${TREMLOX_EXECUTABLE}" OR NOT EXISTS "${TREMLOX_EXECUTABLE}"
           OR IS_DIRECTORY "${TREMLOX_EXECUTABLE}")
            message(FATAL_ERROR
                "tremlox_add_screen: TREMLOX_EXECUTABLE is \"${TREMLOX_EXECUTABLE}\", which "
                "is not the full path of a program.")
        endif()
        set(${command_var} "${TREMLOX_EXECUTABLE}" PARENT_SCOPE)
        set(${depends_var} "${TREMLOX_EXECUTABLE}" PARENT_SCOPE)
    elseif(TARGET tremlox::tremlox)
        set(${command_var} "$<TARGET_FILE:tremlox::tremlox>" PARENT_SCOPE)
        set(${depends_var} tremlox::tremlox PARENT_SCOPE)
    else()
        message(FATAL_ERROR
            "tremlox_add_screen: there is no target tremlox::tremlox: bring tremlox in with "
            "find_package(tremlox), add_subdirectory or FetchContent, or set "
            "TREMLOX_EXECUTABLE.")
    endif()
endfunction()

function(tremlox_add_screen)
    # Counted here rather than by CMake, whose own message for too few
    # arguments names none of them.
    if(NOT ARGC EQUAL 3)
        list(JOIN ARGV " " given)
        message(FATAL_ERROR
            "tremlox_add_screen: it takes exactly three arguments, a target, a name and a "
            "file: tremlox_add_screen(<target> <name> <file>). It was given ${ARGC}: ${given}")
    endif()
    set(target "${ARGV0}")
    set(name "${ARGV1}")
    set(file "${ARGV2}")

    # Enabled languages are global, but a language enabled in a subproject
    # (tremlox's own C) cannot build sources of the calling folder.
    if(NOT CMAKE_C_COMPILER_LOADED)
        message(FATAL_ERROR
            "tremlox_add_screen: the converted screens are C, and the C language is not "
            "enabled: add C to the LANGUAGES of project() or call enable_language(C).")
    endif()
    _tremlox_check_target("${target}")
    _tremlox_check_name("${name}")

    # The array and its size live in one namespace with every other screen
    # of the target.
    get_target_property(symbols "${target}" _tremlox_screen_symbols)
    if(NOT symbols)
        set(symbols "")
    endif()
    foreach(symbol IN ITEMS "${name}" "${name}_size")
        if(symbol IN_LIST symbols)
            message(FATAL_ERROR
                "tremlox_add_screen: the target \"${target}\" already defines \"${symbol}\"; "
                "give the screen \"${name}\" another name.")
        endif()
    endforeach()
    set_property(TARGET "${target}" APPEND
        PROPERTY _tremlox_screen_symbols "${name}" "${name}_size")

    cmake_path(ABSOLUTE_PATH file BASE_DIRECTORY "${CMAKE_CURRENT_SOURCE_DIR}" NORMALIZE
        OUTPUT_VARIABLE input)
    get_source_file_property(input_is_generated "${input}" GENERATED)
    if(IS_DIRECTORY "${input}")
        message(FATAL_ERROR "tremlox_add_screen: ${input} is a folder, not a file.")
    elseif(NOT EXISTS "${input}" AND NOT input_is_generated)
        message(FATAL_ERROR
            "tremlox_add_screen: the file ${input} for the screen \"${name}\" does not exist.")
    endif()

    _tremlox_tool(tool tool_dependency)

    # One folder per target, so two targets may use the same screen name.
    set(folder "${CMAKE_CURRENT_BINARY_DIR}/tremlox_screens/${target}")
    set(converted "${folder}/converted/${name}.inc")
    set(definition "${folder}/${name}.c")
    set(header "${folder}/include/${name}.h")
    file(MAKE_DIRECTORY "${folder}/converted")

    add_custom_command(
        OUTPUT "${converted}"
        COMMAND ${tool} "${input}" "${converted}"
        MAIN_DEPENDENCY "${input}"
        DEPENDS ${tool_dependency}
        COMMENT "Converting ${file} to the screen ${name}"
        VERBATIM)

    # The wrapper and header come from the templates the make and Meson
    # recipes use too. configure_file leaves an unchanged file untouched, so
    # configuring again rebuilds nothing.
    set(SCREEN "${name}")
    set(CONVERTED "converted/${name}.inc")
    set(templates "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/templates")
    configure_file("${templates}/screen.h.in" "${header}" @ONLY)
    configure_file("${templates}/screen.c.in" "${definition}" @ONLY)

    # Its macro and pragmas stay in a translation unit of its own.
    set_source_files_properties("${definition}" PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
    target_sources("${target}" PRIVATE "${definition}" "${converted}" "${header}")
    target_include_directories("${target}" PUBLIC "$<BUILD_INTERFACE:${folder}/include>")
endfunction()
