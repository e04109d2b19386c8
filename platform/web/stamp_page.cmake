# Stamps the page with its build, after the program is linked: the program's skorvane.js and
# skorvane.wasm are copied to names of their content (skorvane.<digest>.js and .wasm, the one digest
# of both, so a page can never be answered with another build's program from any cache or host),
# which index.html asks for; index.html gets the build's tag (a digest of every file of the page),
# and sw.js the tag and each cached file's SHA-256. Program files of earlier stamps are removed.
#   cmake -DSOURCE_DIR=<platform/web> -DPAGE_DIR=<build/web> -P stamp_page.cmake
# The tests run it on a copy of a build they change, to make a second build.
file(SHA256 ${PAGE_DIR}/skorvane.js js_digest)
file(SHA256 ${PAGE_DIR}/skorvane.wasm wasm_digest)
string(SHA256 program "${js_digest} ${wasm_digest}")
string(SUBSTRING ${program} 0 16 program)
file(GLOB stale ${PAGE_DIR}/skorvane.*.js ${PAGE_DIR}/skorvane.*.wasm)
list(FILTER stale EXCLUDE REGEX "skorvane\\.${program}\\.")
if(stale)
    file(REMOVE ${stale})
endif()
foreach(kind js wasm)
    file(COPY_FILE ${PAGE_DIR}/skorvane.${kind} ${PAGE_DIR}/skorvane.${program}.${kind})
endforeach()

set(built skorvane.${program}.js skorvane.${program}.wasm manifest.webmanifest skorvane.svg
    icon-192.png icon-512.png icon-maskable-512.png)
set(summary "")
foreach(name IN LISTS built)
    file(SHA256 ${PAGE_DIR}/${name} digest)
    string(APPEND summary "${name} ${digest}\n")
endforeach()
foreach(template index.html service_worker.js)
    file(SHA256 ${SOURCE_DIR}/${template} digest)
    string(APPEND summary "${template} ${digest}\n")
endforeach()
string(SHA256 tag "${summary}")
string(SUBSTRING ${tag} 0 16 tag)

file(READ ${SOURCE_DIR}/index.html page)
string(REPLACE "@BUILD@" ${tag} page "${page}")
string(REPLACE "@PROGRAM@" ${program} page "${page}")
file(WRITE ${PAGE_DIR}/index.html "${page}")

set(entries "")
foreach(name index.html ${built})
    file(SHA256 ${PAGE_DIR}/${name} digest)
    string(APPEND entries "    '${name}': '${digest}',\n")
endforeach()
file(READ ${SOURCE_DIR}/service_worker.js worker)
string(REPLACE "@BUILD@" ${tag} worker "${worker}")
string(REPLACE "@FILES@" "{\n${entries}}" worker "${worker}")
file(WRITE ${PAGE_DIR}/sw.js "${worker}")
