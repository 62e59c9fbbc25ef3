#pragma once
// PROJ is reached through a module of its own, loaded on first use: libproj and the forty-odd libraries it
// links (curl, TLS, Kerberos) cost more to load at every start than a merge of shapefiles, which never
// converts coordinates. The core takes only PROJ's types from <proj.h>; the functions come from the module.

#include <proj.h>
#include <string>

namespace fennick {

// The PROJ functions the core calls; the module hands out one static instance.
struct SProjModuleEntries {
    int version;
    const char* stamp;
    decltype(&proj_context_create) contextCreate;
    decltype(&proj_context_destroy) contextDestroy;
    decltype(&proj_log_level) logLevel;
    decltype(&proj_create) create;
    decltype(&proj_is_crs) isCrs;
    decltype(&proj_destroy) destroy;
    decltype(&proj_get_type) getType;
    decltype(&proj_get_source_crs) getSourceCrs;
    decltype(&proj_create_crs_to_crs_from_pj) createCrsToCrsFromPj;
    decltype(&proj_errno_reset) errnoReset;
    decltype(&proj_trans_generic) transGeneric;
    decltype(&proj_get_name) getName;
    decltype(&proj_is_equivalent_to_with_ctx) isEquivalentToWithCtx;
    decltype(&proj_normalize_for_visualization) normalizeForVisualization;
    decltype(&proj_as_wkt) asWkt;
    decltype(&proj_identify) identify;
    decltype(&proj_list_get_count) listGetCount;
    decltype(&proj_list_get) listGet;
    decltype(&proj_list_destroy) listDestroy;
    decltype(&proj_int_list_destroy) intListDestroy;
    decltype(&proj_get_id_auth_name) getIdAuthName;
    decltype(&proj_get_id_code) getIdCode;
    decltype(&proj_info) info;
};

inline constexpr int kProjModuleVersion = 4;
// The module's file name and the symbol that hands out its entries.
inline constexpr const char* kProjModuleFile = "libfennick_proj.so";
inline constexpr const char* kProjModuleSymbol = "FennickProjModuleEntries";

// The module's entries, loading it on the first call (thread-safe); null when it cannot be loaded, and
// ProjModuleError then says why.
const SProjModuleEntries* ProjModule();
std::string ProjModuleError();

// Keeps PROJ's default log off the terminal, now if the module is loaded, else as soon as it is.
void QuietProjDiagnostics();

} // namespace fennick
