// The module list of the dynamic module, as nginx's configure writes it for
// --add-dynamic-module: load_module reads these three arrays.
#include <ngx_config.h>
#include <ngx_core.h>

extern ngx_module_t ngx_http_isapi_filter_module;

ngx_module_t* ngx_modules[] = {&ngx_http_isapi_filter_module, NULL};

char* ngx_module_names[] = {"ngx_http_isapi_filter_module", NULL};

char* ngx_module_order[] = {NULL};
