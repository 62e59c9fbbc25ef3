// The PROJ module's entry point: what the program reaches through ProjModule().

#include "coordsys/ProjModule.h"
#include "platform/BuildStamp.h"

namespace fennick {

namespace {

const SProjModuleEntries kEntries = {
    .version = kProjModuleVersion,
    .stamp = kBuildStamp,
    .contextCreate = &proj_context_create,
    .contextDestroy = &proj_context_destroy,
    .logLevel = &proj_log_level,
    .create = &proj_create,
    .isCrs = &proj_is_crs,
    .destroy = &proj_destroy,
    .getType = &proj_get_type,
    .getSourceCrs = &proj_get_source_crs,
    .createCrsToCrsFromPj = &proj_create_crs_to_crs_from_pj,
    .errnoReset = &proj_errno_reset,
    .transGeneric = &proj_trans_generic,
    .getName = &proj_get_name,
    .isEquivalentToWithCtx = &proj_is_equivalent_to_with_ctx,
    .normalizeForVisualization = &proj_normalize_for_visualization,
    .asWkt = &proj_as_wkt,
    .identify = &proj_identify,
    .listGetCount = &proj_list_get_count,
    .listGet = &proj_list_get,
    .listDestroy = &proj_list_destroy,
    .intListDestroy = &proj_int_list_destroy,
    .getIdAuthName = &proj_get_id_auth_name,
    .getIdCode = &proj_get_id_code,
    .info = &proj_info,
};

} // namespace

} // namespace fennick

// Typed as every module entry is, so that the loader calls it through the type it has.
extern "C" __attribute__((visibility("default"))) const void* FennickProjModuleEntries() {
    return &fennick::kEntries;
}
