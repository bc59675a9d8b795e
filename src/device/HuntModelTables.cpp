#include "device/HuntModelTables.h"

namespace talvex::HuntModels {

namespace {

struct SCameraTypeRow {
    uint8_t key;
    const char* model;
};

struct SDeviceNumberRow {
    int32_t key;
    const char* model;
};

// The names are the vendor's, typos and mixed separators included: hosts
// match cameras by them.
constexpr SCameraTypeRow kCameraTypes[] = {
    {0x3A, "HWS-04HD"},         {0x3C, "HLC-83V(CAM410)"},     {0x3D, "HLT-86F(CAM412)"},
    {0x3E, "HLC-81I(CAM413)"},  {0x3F, "HWS-01HD(CAM430)"},    {0x43, "HLV-1CI(CAM414/415)"},
    {0x44, "HLC-83M(CAM 411)"}, {0x45, "HVT-01HT(SVR411)"},    {0x47, "HLC-83V(CAM410)"},
    {0x48, "HLC-36F(CAM417)"},  {0x49, "HLC_81M(CAM417)"},     {0x4A, "HLC_36N(CAM416)"},
    {0x4B, "HLV_1CM(CAM419)"},  {0x4D, "HLV_1CV(CAM419)"},     {0x4E, "HLC_36V(CAM418)"},
    {0x4F, "HLC_81V(CAM418)"},  {0x51, "HLT_87Z(CAM420)"},     {0x53, "HLC_7RG(CAM420)"},
    {0x59, "HLC_15G"},          {0x79, "HLC_15M"},             {0x7A, "HLC_15V"},
    {0x7D, "HLC_84M"},          {0x7E, "HLC_84V"},             {0x7F, "HLC_79I"},
    {0x80, "HLC_49C"},          {0x81, "HLC_49G"},             {0x82, "HLC_49S"},
    {0x84, "HLC_79M"},          {0xA1, "HLC_81NP"},
};

constexpr SDeviceNumberRow kDeviceNumbers[] = {
    {0xAB01, "HLC_15AG"},  {0xAB02, "HLC_15AD"},  {0xAB04, "HLC_81AG"}, {0xAB05, "HLC_81AD"},
    {0xAB09, "HLC_79AG"},  {0xAB0A, "HLC_79AD"},  {0xAB0C, "HLV_1CAG"}, {0xAB0D, "HLV_1CAD"},
    {0xAB0F, "HLC_1NAG"},  {0xAB10, "HLC_1NAD"},  {0xAB12, "HLZ_1MAG"}, {0xAB15, "HLT_86ZAG"},
    {0xAB18, "HLT_87ZAG"}, {0xAB1B, "HLC_7RAG"},  {0xAB1C, "HLC_7RAD"}, {0xAB1E, "HLV_1WAG"},
    {0xAB1F, "HLV_1WAD"},  {0xBA01, "HWS-08AD"},  {0xBA02, "HWS-04AD"}, {0xBA03, "HWS-02AD"},
    {0xBA04, "HWS-01AD"},
};

}  // namespace

const char* ModelOfCameraType(uint8_t cameraTypeLowByte) {
    for (const auto& row : kCameraTypes)
        if (row.key == cameraTypeLowByte) return row.model;
    return nullptr;
}

const char* ModelOfDeviceNumber(int32_t deviceNumber) {
    for (const auto& row : kDeviceNumbers)
        if (row.key == deviceNumber) return row.model;
    return nullptr;
}

}  // namespace talvex::HuntModels
