# Stamps the page with its build, after the program is linked: index.html gets the build's tag
# (a digest of every file of the page), and sw.js the tag and each cached file's SHA-256.
#   cmake -DSOURCE_DIR=<platform/web> -DPAGE_DIR=<build/web> -P stamp_page.cmake
# The tests run it on a copy of a build they change, to make a second build.
set(built skorvane.js skorvane.wasm manifest.webmanifest skorvane.svg icon-192.png icon-512.png
    icon-maskable-512.png)
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
