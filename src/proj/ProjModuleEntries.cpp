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
};

} // namespace

} // namespace fennick

// Typed as every module entry is, so that the loader calls it through the type it has.
extern "C" __attribute__((visibility("default"))) const void* FennickProjModuleEntries() {
    return &fennick::kEntries;
}
