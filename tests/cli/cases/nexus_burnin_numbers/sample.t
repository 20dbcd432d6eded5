#NEXUS
begin trees;
   translate
       1 Choano-a,
       2 Choano-b,
       3 Metazoa-m,
       4 Fungi-f;
   tree gen.0 = [&U] ((1:0.1,3:0.1):0.1,2:0.2,4:0.3);
   tree gen.1000 = [&U] ((1:0.1,2:0.1):0.1,3:0.2,4:0.3;
   tree gen.2000 = [&U] ((1:0.1,2:0.1):0.1,3:0.2,4:0.3;
   tree gen.3000 = [&U] ((1:0.1,2:0.1):0.1,3:0.2,4:0.3);
   tree gen.4000 = [&U] ((1:0.1,2:0.1):0.1,(3:0.2,4:0.3));
end;
