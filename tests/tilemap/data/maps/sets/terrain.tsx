<?xml version="1.0" encoding="UTF-8"?>
<tileset version="1.2" tiledversion="1.2.3" name="terrain" tilewidth="32" tileheight="32" spacing="2" margin="1" tilecount="8" columns="4">
 <tileoffset x="0" y="-8"/>
 <properties>
  <property name="season" value="winter"/>
 </properties>
 <image source="tiles.png" trans="ff00ff" width="138" height="70"/>
 <terraintypes>
  <terrain name="grass" tile="0">
   <properties>
    <property name="walkable" type="bool" value="true"/>
   </properties>
  </terrain>
  <terrain name="water" tile="5"/>
 </terraintypes>
 <tile id="5" terrain="1,1,1,1" probability="25" type="water">
  <animation>
   <frame tileid="5" duration="100"/>
   <frame tileid="6" duration="150"/>
  </animation>
 </tile>
 <tile id="1" terrain="0,,1,">
  <objectgroup draworder="index">
   <object id="1" x="0" y="16" width="32" height="16"/>
  </objectgroup>
 </tile>
</tileset>
