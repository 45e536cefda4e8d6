#include "gallery_texts.h"

namespace gallery {

namespace {

const std::array<std::wstring, 5> kValues = {L"TARVEK Wendrix - 3G GPS Interface (COM5)",
                                             L"W 122d 7.407360", L"N 37d 39.259260", L"7",
                                             L"Sunday, December 06, 2026 19:55:17"};

const Texts kEnglish{
    L"Satview",
    L"Start",
    L"Stop",
    L"Setting",
    L"Run automatically",
    L"Open",
    L"No Data during",
    L"s",
    L"Current GPS Type:",
    L"Item",
    L"Value",
    {L"GPS Port", L"Longitude", L"Latitude", L"Satellites in view", L"Time"},
    kValues,
    L"The data card supports AGPS.",
    L"Waiting for GPS data...",
    L"GPS stopped.",
    {L"Google maps (google)", L"Yahoo maps (yahoo)", L"Live maps"},
    L"Open the position in the map site?",
    L"The map site was opened.",
    L"Setting",
    L"GPS Type",
    L"GPS(no network)",
    L"AGPS(need network)",
    L"AGPS Configuration",
    L"APN",
    L"SUPL server",
    L"Scenario Profile",
    L"High speed",
    L"Pedestrianism",
    L"Use these immediately.",
    L"Save",
    L"Cancel",
};

const Texts kJapanese{
    L"Satview",
    L"\u958b\u59cb",
    L"\u505c\u6b62",
    L"\u8a2d\u5b9a",
    L"\u81ea\u52d5\u5b9f\u884c",
    L"\u958b\u304f",
    L"\u30c7\u30fc\u30bf\u306a\u3057",
    L"\u79d2",
    L"\u73fe\u5728\u306eGPS\u30bf\u30a4\u30d7:",
    L"\u9805\u76ee",
    L"\u5185\u5bb9",
    {L"GPS\u30dd\u30fc\u30c8", L"\u7d4c\u5ea6", L"\u7def\u5ea6", L"\u53ef\u8996\u885b\u661f\u6570",
     L"\u6642\u523b"},
    kValues,
    L"\u30c7\u30fc\u30bf\u30ab\u30fc\u30c9\u306fAGPS\u306b\u5bfe\u5fdc\u3057\u3066\u3044\u307e"
    L"\u3059\u3002",
    L"GPS\u30c7\u30fc\u30bf\u3092\u5f85\u3063\u3066\u3044\u307e\u3059...",
    L"GPS\u3092\u505c\u6b62\u3057\u307e\u3057\u305f\u3002",
    {L"Google \u30de\u30c3\u30d7 (google)", L"Yahoo! \u5730\u56f3 (yahoo)",
     L"Live \u30de\u30c3\u30d7"},
    L"\u5730\u56f3\u30b5\u30a4\u30c8\u3067\u4f4d\u7f6e\u3092\u958b\u304d\u307e\u3059\u304b?",
    L"\u5730\u56f3\u30b5\u30a4\u30c8\u3092\u958b\u304d\u307e\u3057\u305f\u3002",
    L"\u8a2d\u5b9a",
    L"GPS\u30bf\u30a4\u30d7",
    L"GPS(\u30cd\u30c3\u30c8\u30ef\u30fc\u30af\u4e0d\u8981)",
    L"AGPS(\u30cd\u30c3\u30c8\u30ef\u30fc\u30af\u5fc5\u8981)",
    L"AGPS\u8a2d\u5b9a",
    L"APN",
    L"SUPL\u30b5\u30fc\u30d0\u30fc",
    L"\u30b7\u30ca\u30ea\u30aa",
    L"\u9ad8\u901f\u79fb\u52d5",
    L"\u6b69\u884c",
    L"\u3053\u306e\u8a2d\u5b9a\u3092\u3059\u3050\u306b\u4f7f\u3046",
    L"\u4fdd\u5b58",
    L"\u30ad\u30e3\u30f3\u30bb\u30eb",
};

const Texts kPortuguese{
    L"Satview",
    L"Iniciar",
    L"Parar",
    L"Configura\u00e7\u00e3o",
    L"Executar automaticamente",
    L"Abrir",
    L"Sem dados h\u00e1",
    L"s",
    L"Tipo de GPS atual:",
    L"Item",
    L"Valor",
    {L"Porta GPS", L"Longitude", L"Latitude", L"Sat\u00e9lites vis\u00edveis", L"Hora"},
    kValues,
    L"A placa de dados suporta AGPS.",
    L"Aguardando dados do GPS...",
    L"GPS parado.",
    {L"Google mapas (google)", L"Yahoo mapas (yahoo)", L"Live mapas"},
    L"Abrir a posi\u00e7\u00e3o no site de mapas?",
    L"O site de mapas foi aberto.",
    L"Configura\u00e7\u00e3o",
    L"Tipo de GPS",
    L"GPS (sem rede)",
    L"AGPS (precisa de rede)",
    L"Configura\u00e7\u00e3o do AGPS",
    L"APN",
    L"Servidor SUPL",
    L"Perfil de cen\u00e1rio",
    L"Alta velocidade",
    L"Pedestre",
    L"Usar imediatamente.",
    L"Salvar",
    L"Cancelar",
};

}  // namespace

const Texts& TextsFor(Language language) {
    switch (language) {
        case Language::Japanese:
            return kJapanese;
        case Language::Portuguese:
            return kPortuguese;
        default:
            return kEnglish;
    }
}

const std::array<std::wstring, 3>& LanguageNames() {
    static const std::array<std::wstring, 3> names = {L"English", L"\u65e5\u672c\u8a9e",
                                                      L"Portugu\u00eas (Brasil)"};
    return names;
}

}  // namespace gallery
